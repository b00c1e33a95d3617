// A run of the event pipeline in a process of its own, for tests that kill it at any moment:
// it says "R" when it is ready, first cleans up and resumes what earlier runs left, then writes
// events (printing "W <id>" once each is in the log), rotating the log every few events, and
// finally waits until every file has left the folder.
//
// pipeline_child <folder> <url> <first id> <count> <events per log>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <thread>

#include "../PipelineChain.h"
#include "platform/dispatch/MainQueue.h"
#include "sdk/analytics/PLRNetworkRetryHandler.h"
#include "sdk/analytics/PLRWriteEventOperation.h"

namespace {

using namespace wv;

class Event : public PLREvent {
  public:
    explicit Event(int id) : id_(id) {}
    std::string name() const override { return "custom"; }
    nlohmann::ordered_json dictionaryRepresentation() const override {
        return {{"eventId", id_}, {"padding", std::string(size_t(40 + id_ % 50), 'p')}};
    }

  private:
    int id_;
};

class Metadata : public PLRMetadataSerializable {
  public:
    std::string eventName() const override { return "metadata"; }
    nlohmann::ordered_json dictionaryRepresentationWithStartTime(uint64_t t) const override {
        return {{"start_time", t}};
    }
};

class Delegate : public PLRUploaderDelegate {
  public:
    explicit Delegate(std::filesystem::path dir) : dir_(std::move(dir)) {}
    std::string uploaderFilePathForUniqueName(PLRUploader&, const std::string& name) override {
        return (dir_ / (name + ".multipartmime")).string();
    }
    void uploaderDidFinishUploadWithUniqueName(PLRUploader&, const std::string& name,
                                               const std::optional<net::Error>&) override {
        std::error_code ec;
        std::filesystem::remove(dir_ / (name + ".multipartmime"), ec);
    }
    void uploaderCompletedRequest(PLRUploader&, const net::URLRequest& request,
                                  const std::optional<net::URLResponse>& response,
                                  const std::string& name, const std::optional<net::Error>& error,
                                  RetryDecision decision) override {
        retry_.handleCompletedRequest(request, response, name, error, std::move(decision));
    }

  private:
    std::filesystem::path dir_;
    PLRNetworkRetryHandler retry_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) return 2;
    const std::filesystem::path dir = argv[1];
    const std::string url = argv[2];
    const int first = std::atoi(argv[3]);
    const int count = std::atoi(argv[4]);
    const int perLog = std::max(1, std::atoi(argv[5]));

    auto queue = std::make_shared<OperationQueue>("io.plurio.EventQueue", 1);
    auto delegate = std::make_shared<Delegate>(dir);
    auto uploader = PLRUploader::create(queue, delegate);
    wv::testing::PipelineChain chain(queue, uploader, url);
    Metadata metadata;

    std::printf("R\n");
    std::fflush(stdout);
    chain.resume(dir);
    std::filesystem::path log;
    for (int i = 0; i < count; ++i) {
        if (i % perLog == 0) {
            if (!log.empty()) chain.fromLog(log);
            log = dir / ("run" + std::to_string(first) + "-" + std::to_string(i) + ".log");
        }
        const int id = first + i;
        auto op =
            std::make_shared<PLRWriteEventOperation>(std::make_shared<Event>(id), metadata, log);
        PLRWriteEventOperation* raw = op.get();
        op->setCompletionBlock([raw, id] {
            if (raw->success()) {
                std::printf("W %d\n", id);
                std::fflush(stdout);
            }
        });
        queue->addOperation(op);
    }
    if (!log.empty()) chain.fromLog(log);

    // The main thread is the main queue's: back-off delays end here.
    for (int i = 0; i < 6000; ++i) {
        MainQueue::shared().runDue();
        if (queue->operationCount() == 0 && std::filesystem::is_empty(dir)) return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return 1;
}
