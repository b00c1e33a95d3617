#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/net/AuthenticationChallenge.h"
#include "platform/net/SessionEngine.h"
#include "platform/net/URLSession.h"

namespace wv::net {

struct Transfer;

// The session engine over libcurl: a multi handle (the session's connection cache) driven by
// a worker thread, and the serial delegate queue.
class CurlSessionEngine final : public SessionEngine,
                                public std::enable_shared_from_this<CurlSessionEngine> {
  public:
    CurlSessionEngine(URLSessionConfiguration configuration,
                      std::shared_ptr<URLSessionDelegate> delegate, URLSession::Executor executor);
    ~CurlSessionEngine() override;

    void start(std::weak_ptr<URLSession> owner) override;
    const URLSessionConfiguration& configuration() const { return configuration_; }
    std::shared_ptr<URLSessionDelegate> delegate() const override;

    uint64_t nextIdentifier() override;
    bool registerTask(const std::shared_ptr<URLSessionTask>& task) override;
    void resume(const std::shared_ptr<URLSessionTask>& task) override;
    void cancel(const std::shared_ptr<URLSessionTask>& task) override;
    void invalidate(bool cancelRunning) override;
    bool isInvalidated() const override;
    void getTasks(URLSession::TasksCallback callback) override;
    void ownerGone() override;

    // Called on the worker thread from inside the TLS handshake.
    std::pair<ChallengeDisposition, std::shared_ptr<URLCredential>> askDelegate(
        const AuthenticationChallenge& challenge, double timeout);

    void post(std::function<void()> block);
    void didReceiveResponse(Transfer& transfer);
    void didReceiveData(Transfer& transfer, std::string chunk);

  private:
    void runWorker();
    void runDelegateQueue();
    void addTransfer(const std::shared_ptr<URLSessionTask>& task);
    void finishTransfer(Transfer* transfer, int curlCode);
    void completeTask(const std::shared_ptr<URLSessionTask>& task, std::optional<std::string> data,
                      std::optional<std::string> path, std::optional<URLResponse> response,
                      std::optional<Error> error);
    void taskDidComplete(uint64_t identifier);
    void wakeWorker();

    const URLSessionConfiguration configuration_;
    URLSession::Executor executor_;
    std::weak_ptr<URLSession> owner_;

    mutable std::mutex mutex_;
    std::condition_variable queueWake_;
    std::shared_ptr<URLSessionDelegate> delegate_;
    std::map<uint64_t, std::shared_ptr<URLSessionTask>> tasks_;
    std::vector<std::shared_ptr<URLSessionTask>> pendingStarts_;
    std::vector<uint64_t> pendingCancels_;
    std::deque<std::function<void()>> delegateBlocks_;
    uint64_t nextIdentifier_ = 1;
    bool invalidated_ = false;
    bool invalidNotified_ = false;
    bool ownerGone_ = false;
    bool workerDone_ = false;
    void* multi_ = nullptr;  // CURLM*, touched only by the worker once started
    std::map<uint64_t, std::unique_ptr<Transfer>> transfers_;  // worker only
};

}  // namespace wv::net
