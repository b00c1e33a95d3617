#include "sdk/crash/report/QXNetworkClient.h"

#include <unistd.h>

#include <condition_variable>
#include <mutex>

#include "platform/dispatch/GlobalQueue.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/foundation/Log.h"
#include "sdk/core/QXURLSessionConfiguration.h"
#include "sdk/core/TRNNetworkResponseHandler.h"
#include "sdk/core/Tarnel.h"
#include "sdk/crash/context/QXApplication.h"
#include "sdk/crash/context/QXSDKLog.h"
#include "sdk/crash/report/QXFileManager.h"

namespace wv {
namespace {

bool debugMode() { return Tarnel::sharedSDK().debug(); }

void debugLog(const std::string& line) {
    if (debugMode()) Log::system(line);
}

bool isReadableFile(const std::string& path) {
    return !path.empty() && ::access(path.c_str(), R_OK) == 0;
}

net::Error missingFileError(const std::string& path) {
    net::Error error;
    error.domain = QXNetworkClient::kErrorDomain;
    error.code = QXNetworkClient::kMissingFileErrorCode;
    error.userInfo = {{"path", path}};
    return error;
}

// The synchronous path's session: it answers challenges only, with the client's pinner, from
// a queue that is not the client's.
class PinningDelegate final : public QXURLSessionDelegate {
  public:
    explicit PinningDelegate(std::shared_ptr<TRNCertificatePinner> pinner)
        : pinner_(std::move(pinner)) {}
    void URLSessionDidReceiveChallenge(QXURLSession&, const net::AuthenticationChallenge& challenge,
                                       net::ChallengeCompletion completion) override {
        pinner_->handleChallenge(challenge, completion);
    }

  private:
    std::shared_ptr<TRNCertificatePinner> pinner_;
};

}  // namespace

// The session holds its delegate strongly; this keeps the client out of that cycle.
class QXNetworkClient::SessionDelegate final : public QXURLSessionDelegate {
  public:
    explicit SessionDelegate(std::weak_ptr<QXNetworkClient> client) : client_(std::move(client)) {}
    void URLSessionDidBecomeInvalidWithError(QXURLSession&,
                                             const std::optional<net::Error>& error) override {
        if (auto c = client_.lock()) c->URLSessionDidBecomeInvalidWithError(error);
    }
    void URLSessionDidReceiveChallenge(QXURLSession&, const net::AuthenticationChallenge& challenge,
                                       net::ChallengeCompletion completion) override {
        if (auto c = client_.lock()) {
            c->URLSessionDidReceiveChallenge(challenge, std::move(completion));
        } else {
            completion(net::ChallengeDisposition::CancelAuthenticationChallenge, nullptr);
        }
    }
    void URLSessionTaskDidCompleteWithError(QXURLSession&, QXURLSessionTask& task,
                                            const std::optional<net::Error>& error) override {
        if (auto c = client_.lock()) c->URLSessionTaskDidCompleteWithError(task, error);
    }

  private:
    std::weak_ptr<QXNetworkClient> client_;
};

std::shared_ptr<QXNetworkClient> QXNetworkClient::create(
    std::shared_ptr<OperationQueue> queue, std::shared_ptr<QXFileManager> fileManager,
    std::weak_ptr<QXNetworkClientDelegate> delegate) {
    std::shared_ptr<QXNetworkClient> client(
        new QXNetworkClient(std::move(queue), std::move(fileManager), std::move(delegate)));
    if (auto d = client->delegate())
        client->canUseBackgroundSession_ = d->networkClientCanUseBackgroundSessions(*client);
    if (!client->supportsBackgroundRequests()) {
        debugLog(
            "[Quellix:Crash:Client] Background session uploading not supported, asynchronous "
            "uploading will be used");
    }
    return client;
}

QXNetworkClient::QXNetworkClient(std::shared_ptr<OperationQueue> queue,
                                 std::shared_ptr<QXFileManager> fileManager,
                                 std::weak_ptr<QXNetworkClientDelegate> delegate)
    : queue_(std::move(queue)),
      fileManager_(std::move(fileManager)),
      delegate_(std::move(delegate)),
      certPinner_(pinner()) {}

QXNetworkClient::~QXNetworkClient() = default;

std::shared_ptr<TRNCertificatePinner> QXNetworkClient::pinner() {
    return std::make_shared<TRNCertificatePinner>(TRNPinnedCertificates());
}

bool QXNetworkClient::NSURLSessionAvailable() { return QXURLSession::NSURLSessionShouldBeUsed(); }

// A background request needs a background session, and this system has none to give.
bool QXNetworkClient::supportsBackgroundRequests() const {
    if (QXApplicationIsExtension()) return false;
    if (!NSURLSessionAvailable()) return false;
    if (!QXURLSessionConfiguration::backgroundSessionConfigurationWithIdentifier(
            kBackgroundSessionIdentifier))
        return false;
    return canUseBackgroundSession_;
}

void QXNetworkClient::onQueue(std::function<void(QXNetworkClient&)> work) {
    std::weak_ptr<QXNetworkClient> weak = weak_from_this();
    queue_->addOperation([weak, work = std::move(work)] {
        if (auto self = weak.lock()) work(*self);
    });
}

std::shared_ptr<QXURLSession> QXNetworkClient::session() {
    if (session_) return session_;
    std::shared_ptr<QXURLSessionConfiguration> configuration;
    if (supportsBackgroundRequests())
        configuration = QXURLSessionConfiguration::backgroundSessionConfigurationWithIdentifier(
            kBackgroundSessionIdentifier);
    if (!configuration) configuration = QXURLSessionConfiguration::defaultSessionConfiguration();
    if (configuration) {
        std::weak_ptr<OperationQueue> queue = queue_;
        session_ = QXURLSession::sessionWithConfiguration(
            configuration, std::make_shared<SessionDelegate>(weak_from_this()),
            [queue](std::function<void()> block) {
                if (auto q = queue.lock()) q->addOperation(std::move(block));
            });
    }
    if (!session_) Log::system("[Quellix:Crash:Client] Failed to initialize");
    return session_;
}

std::string QXNetworkClient::rootPath() const { return fileManager_->rootPath().string(); }

std::string QXNetworkClient::absolutePathForRelativeTaskPath(const std::string& description) const {
    return rootPath() + "/" + description;
}

std::optional<std::string> QXNetworkClient::relativeTaskPathForAbsolutePath(
    const std::string& path) const {
    const std::string root = rootPath();
    const std::string prefix = root + "/";
    // Only a leading root counts: a root that merely appears later in the path is part of a
    // name, and taking it out would point the task at another file.
    if (root.empty() || path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0) {
        QXLogWarn("Error: path '%s' is not at the root '%s'", path.c_str(), root.c_str());
        return std::nullopt;
    }
    return path.substr(prefix.size());
}

bool QXNetworkClient::taskArrayHasTaskMatchingDescription(
    const std::vector<std::string>& descriptions, const std::string& description) {
    for (const auto& d : descriptions)
        if (d == description) return true;
    return false;
}

void QXNetworkClient::checkForExistingTaskMatchingDescription(const std::string& description,
                                                              CheckCompletion completion) {
    onQueue([description, completion = std::move(completion)](QXNetworkClient& c) {
        std::vector<std::string> descriptions;
        for (const auto& [d, transfer] : c.transfers_) descriptions.push_back(d);
        completion(taskArrayHasTaskMatchingDescription(descriptions, description));
    });
}

void QXNetworkClient::startUploadRequest(const net::URLRequest& request,
                                         const std::string& filePath, bool immediately) {
    if (immediately) {
        startImmediateUploadRequest(request, filePath);
        return;
    }
    const auto description = relativeTaskPathForAbsolutePath(filePath);
    if (!description) return;  // a task without a description could never be tied to its file
    std::weak_ptr<QXNetworkClient> weak = weak_from_this();
    checkForExistingTaskMatchingDescription(
        *description, [weak, request, filePath](bool exists) {
            auto self = weak.lock();
            if (!self) return;
            if (exists) {
                debugLog(
                    "[Quellix:Crash:Client] A task currently exists for this upload, skipping");
                return;
            }
            self->startNewUploadRequest(request, filePath);
        });
}

void QXNetworkClient::startImmediateUploadRequest(const net::URLRequest& request,
                                                  const std::string& filePath) {
    if (supportsBackgroundRequests()) {
        onQueue([request, filePath](QXNetworkClient& c) { c.startNewUploadRequest(request, filePath); });
        return;
    }
    if (!isReadableFile(filePath)) {
        QXLogWarn("Error: file unreadable");
        return;
    }
    net::URLRequest copy = request;
    copy.bodyFile = filePath;
    const auto response = sendSynchronously(copy);
    bool success = false;
    TRNNetworkResponseHandler::clientResponseType(
        response, [&](TRNResponseType type, int) { success = type == TRNResponseType::Success; });
    if (!success) return;  // the package stays for a later launch
    reportFinished(filePath, std::nullopt);
}

// The caller's thread waits; the session's events run on a queue of the session's own, so
// the wait cannot hold up its own challenge even when the caller is the work queue.
std::optional<net::URLResponse> QXNetworkClient::sendSynchronously(const net::URLRequest& request) {
    struct Outcome {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        std::optional<net::URLResponse> response;
    };
    auto outcome = std::make_shared<Outcome>();
    auto configuration = QXURLSessionConfiguration::ephemeralSessionConfiguration();
    auto session = QXURLSession::sessionWithConfiguration(
        configuration, std::make_shared<PinningDelegate>(certPinner_),
        QXURLSession::newDefaultDelegateQueue());
    if (!session) return std::nullopt;
    auto task = session->dataTaskWithRequest(
        request, [outcome](const std::optional<std::string>&,
                           const std::optional<net::URLResponse>& response,
                           const std::optional<net::Error>& error) {
            std::lock_guard lock(outcome->mutex);
            // A reply cut off after its head is no reply the server stands by.
            if (!error) outcome->response = response;
            outcome->finished = true;
            outcome->done.notify_all();
        });
    if (!task) return std::nullopt;
    task->resume();
    {
        std::unique_lock lock(outcome->mutex);
        // The request's timeout is an idle limit that the transfer enforces itself.
        outcome->done.wait(lock, [&] { return outcome->finished; });
    }
    session->finishTasksAndInvalidate();
    return outcome->response;
}

void QXNetworkClient::startNewUploadRequest(const net::URLRequest& request,
                                            const std::string& filePath) {
    if (!isReadableFile(filePath)) {
        onQueue([filePath](QXNetworkClient& c) {
            c.reportFinished(filePath, missingFileError(filePath));
        });
        return;
    }
    const auto description = relativeTaskPathForAbsolutePath(filePath);
    if (!description) return;
    auto s = session();
    auto task = s ? s->uploadTaskWithRequest(request, filePath) : nullptr;
    if (!task) return;  // logged by session(); the file stays for a later launch
    transfers_[*description] = Transfer{s, task, request};
    task->resume();
}

void QXNetworkClient::attemptToReconnectBackgroundSessionWithCompletionBlock(
    std::function<void()> block) {
    if (!block) return;
    if (supportsBackgroundRequests()) {
        MainQueue::shared().async(std::move(block));
        return;
    }
    block();
}

void QXNetworkClient::setBackgroundCompletionHandler(std::function<void()> handler) {
    onQueue([handler = std::move(handler)](QXNetworkClient& c) {
        c.backgroundCompletionHandler_ = handler;
    });
}

void QXNetworkClient::URLSessionDidBecomeInvalidWithError(const std::optional<net::Error>& error) {
    debugLog("[Quellix:Crash:Client] session became invalid: " +
             (error ? error->description() : std::string("(null)")));
}

// Debug mode changes what the kit says, never whom it trusts.
void QXNetworkClient::URLSessionDidReceiveChallenge(const net::AuthenticationChallenge& challenge,
                                                    net::ChallengeCompletion completion) {
    certPinner_->handleChallenge(challenge, completion);
}

void QXNetworkClient::URLSessionDidFinishEventsForBackgroundURLSession() {
    auto handler = backgroundCompletionHandler_;
    if (!handler) {
        Log::system("[Quellix:Crash:Client] background callback is nil?");
        return;
    }
    std::weak_ptr<QXNetworkClient> weak = weak_from_this();
    MainQueue::shared().async([weak, handler] {
        handler();
        if (auto self = weak.lock())
            self->onQueue([](QXNetworkClient& c) { c.backgroundCompletionHandler_ = nullptr; });
    });
}

void QXNetworkClient::URLSessionTaskDidCompleteWithError(QXURLSessionTask& task,
                                                         const std::optional<net::Error>& error) {
    std::string description;
    net::URLRequest request;
    for (const auto& [d, transfer] : transfers_) {
        if (transfer.task.get() == &task) {
            description = d;
            request = transfer.request;
            break;
        }
    }
    if (description.empty()) return;  // not a task of this client
    const auto response = task.response();
    bool retry = false;
    std::optional<net::Error> outcome;
    TRNNetworkResponseHandler::handleCompletedResponse(
        response, task.originalRequest(), error,
        [&](bool r, const std::optional<net::Error>& e) {
            retry = r;
            outcome = e;
        });
    if (retry) {
        restartTask(description, request, response, outcome);
        return;
    }
    transfers_.erase(description);
    handleTaskDescriptionCompletedWithError(description, outcome);
}

void QXNetworkClient::runAfterRetryValueFromResponse(
    const std::optional<net::URLResponse>& response, std::function<void()> block) {
    const double delay = TRNNetworkResponseHandler::retryValueForResponse(response);
    // Timed like QXUtilityAddOperationAfterDelay, but a client gone meanwhile drops the block
    // instead of leaving it a queue that no longer exists.
    std::weak_ptr<OperationQueue> queue = queue_;
    GlobalQueue::shared().asyncAfter(delay, [queue, block = std::move(block)] {
        if (auto q = queue.lock()) q->addOperation(block);
    });
}

void QXNetworkClient::restartTask(const std::string& description, const net::URLRequest& request,
                                  const std::optional<net::URLResponse>& response,
                                  const std::optional<net::Error>& error) {
    if (++restarts_[description] > kMaximumRestartsPerFile) {
        transfers_.erase(description);
        handleTaskDescriptionCompletedWithError(description, error);
        return;
    }
    // The entry stays, without a task, so that a request for the same file while the restart
    // waits starts nothing.
    transfers_[description].task.reset();
    std::weak_ptr<QXNetworkClient> weak = weak_from_this();
    runAfterRetryValueFromResponse(response, [weak, description, request] {
        auto self = weak.lock();
        if (!self) return;
        self->transfers_.erase(description);
        self->startNewUploadRequest(request, self->absolutePathForRelativeTaskPath(description));
    });
}

void QXNetworkClient::handleTaskDescriptionCompletedWithError(
    const std::string& description, const std::optional<net::Error>& error) {
    reportFinished(absolutePathForRelativeTaskPath(description), error);
}

void QXNetworkClient::reportFinished(const std::string& path,
                                     const std::optional<net::Error>& error) {
    if (auto d = delegate()) d->networkClientDidFinishUploadWithPath(*this, path, error);
}

}  // namespace wv
