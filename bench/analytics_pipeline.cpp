// The event files' way: appending a line, compressing and packaging a 10,000-event log
// (against the gzip program on the same file, in the same run, and with the peak memory it
// takes), and uploading bodies to a loopback server until each is acknowledged and deleted.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "platform/dispatch/MainQueue.h"
#include "platform/net/testing/TestServer.h"
#include "sdk/analytics/PLRCompressLogOperation.h"
#include "sdk/analytics/PLRPackageLogOperation.h"
#include "sdk/analytics/PLRUploadOperation.h"
#include "sdk/analytics/PLRUploader.h"
#include "sdk/analytics/PLRWriteEventOperation.h"

namespace {

using namespace wv;
namespace fs = std::filesystem;

class Event : public PLREvent {
  public:
    explicit Event(int id) : id_(id) {}
    std::string name() const override { return "custom"; }
    nlohmann::ordered_json dictionaryRepresentation() const override {
        return {
            {"eventId", id_},
            {"name", "lesson_end"},
            {"attributes", {{"lesson", "home row"}, {"wpm", 42 + id_ % 17}, {"typos", id_ % 5}}}};
    }

  private:
    int id_;
};

class Metadata : public PLRMetadataSerializable {
  public:
    std::string eventName() const override { return "metadata"; }
    nlohmann::ordered_json dictionaryRepresentationWithStartTime(uint64_t t) const override {
        return {{"start_time", t}, {"app", "com.wovanu.typing"}, {"version", "2.3.1"}};
    }
};

const fs::path& folder() {
    static const fs::path dir = [] {
        auto d = fs::temp_directory_path() / ("wv-analytics-bench-" + std::to_string(getpid()));
        fs::remove_all(d);
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

// A log of 10,000 events, written once by the write operation itself.
const fs::path& tenThousandEventLog() {
    static const fs::path log = [] {
        const fs::path p = folder() / "source.log";
        Metadata metadata;
        for (int i = 0; i < 10000; ++i)
            PLRWriteEventOperation(std::make_shared<Event>(i), metadata, p).main();
        return p;
    }();
    return log;
}

void BM_AppendLine(benchmark::State& state) {
    const fs::path log = folder() / "append.log";
    fs::remove(log);
    Metadata metadata;
    int id = 0;
    for (auto _ : state) {
        PLRWriteEventOperation op(std::make_shared<Event>(id++), metadata, log);
        op.main();
        if (!op.success()) state.SkipWithError("write failed");
    }
    fs::remove(log);
}
BENCHMARK(BM_AppendLine)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

void compressAndPackage(const fs::path& log) {
    const fs::path gz = PLRCompressLogOperation::compressedURLForUncompressedURL(log);
    PLRCompressLogOperation compress(log, gz);
    compress.main();
    const auto boundary = PLRPackageLogOperation::boundaryForCompressedURL(gz);
    PLRPackageLogOperation package(
        gz, PLRPackageLogOperation::multipartURLForCompressedURL(gz, boundary), boundary);
    package.main();
    if (!package.success()) std::abort();
    fs::remove(package.packagedLogURL());
}

void BM_CompressAndPackage10k(benchmark::State& state) {
    const fs::path source = tenThousandEventLog();
    const fs::path log = folder() / "work.log";
    for (auto _ : state) {
        state.PauseTiming();
        fs::copy_file(source, log, fs::copy_options::overwrite_existing);
        state.ResumeTiming();
        compressAndPackage(log);
    }
    state.counters["log_bytes"] = double(fs::file_size(source));
}
BENCHMARK(BM_CompressAndPackage10k)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The yardstick for the same file: the gzip program at its default level.
void BM_GzipProgram10k(benchmark::State& state) {
    const std::string command = "gzip -6 -c '" + tenThousandEventLog().string() + "' > /dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) state.SkipWithError("gzip failed");
    }
}
BENCHMARK(BM_GzipProgram10k)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// Peak memory of one compression and packaging, in a fresh child, as a multiple of the log.
void BM_PeakMemory10k(benchmark::State& state) {
    const fs::path source = tenThousandEventLog();
    double ratio = 0;
    for (auto _ : state) {
        fs::copy_file(source, folder() / "mem.log", fs::copy_options::overwrite_existing);
        int fds[2];
        if (pipe(fds) != 0) std::abort();
        pid_t pid = fork();
        if (pid == 0) {
            struct rusage before {};
            getrusage(RUSAGE_SELF, &before);
            compressAndPackage(folder() / "mem.log");
            struct rusage after {};
            getrusage(RUSAGE_SELF, &after);
            long grown = (after.ru_maxrss - before.ru_maxrss) * 1024;
            (void)!write(fds[1], &grown, sizeof grown);
            _exit(0);
        }
        long grown = 0;
        (void)!read(fds[0], &grown, sizeof grown);
        close(fds[0]);
        close(fds[1]);
        waitpid(pid, nullptr, 0);
        ratio = double(grown) / double(fs::file_size(source));
    }
    state.counters["peak_over_log"] = ratio;
}
BENCHMARK(BM_PeakMemory10k)->Iterations(3)->Unit(benchmark::kMillisecond);

class Acknowledged : public PLRUploaderDelegate {
  public:
    std::string uploaderFilePathForUniqueName(PLRUploader&, const std::string& name) override {
        return (folder() / (name + ".multipartmime")).string();
    }
    void uploaderDidFinishUploadWithUniqueName(PLRUploader&, const std::string& name,
                                               const std::optional<net::Error>& error) override {
        fs::remove(folder() / (name + ".multipartmime"));
        std::lock_guard lock(mutex_);
        ++finished_;
        if (error) ++failed_;
        changed_.notify_all();
    }
    void uploaderCompletedRequest(PLRUploader&, const net::URLRequest&,
                                  const std::optional<net::URLResponse>& response,
                                  const std::string&, const std::optional<net::Error>& error,
                                  RetryDecision decision) override {
        const bool ok = !error && response && response->statusCode / 100 == 2;
        decision(false, ok      ? std::nullopt
                        : error ? error
                                : std::optional<net::Error>(net::Error{
                                      "bench", response ? response->statusCode : 0, {}}));
    }
    void waitFor(int count) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return finished_ >= count; });
    }
    int failed() {
        std::lock_guard lock(mutex_);
        return failed_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int finished_ = 0;
    int failed_ = 0;
};

// A default-size body: what a full log of the default maximum payload compresses to.
std::vector<fs::path> makeBodies(int count) {
    std::vector<fs::path> out;
    std::string part(64 * 1024, 'x');
    for (int i = 0; i < count; ++i) {
        const fs::path gz = folder() / ("b" + std::to_string(i) + ".gz");
        std::ofstream(folder() / ("b" + std::to_string(i) + ".log")) << part;
        PLRCompressLogOperation(folder() / ("b" + std::to_string(i) + ".log"), gz).main();
        const auto boundary = PLRPackageLogOperation::boundaryForCompressedURL(gz);
        PLRPackageLogOperation p(
            gz, PLRPackageLogOperation::multipartURLForCompressedURL(gz, boundary), boundary);
        p.main();
        out.push_back(p.packagedLogURL());
    }
    return out;
}

void uploadAll(benchmark::State& state, int count) {
    auto server = net::testing::TestServer::startHTTP();
    // The test server gives each kept-alive connection a thread of a small pool for a second;
    // closing after each reply keeps it from queueing a hundred connections behind a few.
    server->script("/events", {{202, "{}", {{"Connection", "close"}}}});
    auto queue = std::make_shared<OperationQueue>("io.plurio.EventQueue", 1);
    auto delegate = std::make_shared<Acknowledged>();
    auto uploader = PLRUploader::create(queue, delegate);
    int done = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const auto bodies = makeBodies(count);
        state.ResumeTiming();
        for (const auto& body : bodies) {
            queue->addOperation(std::make_shared<PLRUploadOperation>(
                uploader, server->url("/events"), "KEY", body, body.stem().string()));
        }
        done += count;
        delegate->waitFor(done);
        state.PauseTiming();
        queue->waitUntilAllOperationsAreFinished();
        state.ResumeTiming();
    }
    // Failed transfers are counted, not retried: the kit's back-off would wait seconds.
    state.counters["failed_per_body"] = double(delegate->failed()) / double(done);
    state.counters["requests_per_body"] = double(server->requestCount()) / double(done);
}

void BM_UploadToDeletion(benchmark::State& state) { uploadAll(state, 1); }
BENCHMARK(BM_UploadToDeletion)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();

void BM_HundredQueuedBodies(benchmark::State& state) { uploadAll(state, 100); }
BENCHMARK(BM_HundredQueuedBodies)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    fs::remove_all(folder());
    return 0;
}
