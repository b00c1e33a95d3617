#include "sdk/analytics/PLRUploader.h"

#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/ProcessInfo.h"
#include "sdk/analytics/PLRApplication.h"
#include "sdk/analytics/PLRLogger.h"
#include "sdk/core/TRNNetworkResponseHandler.h"

namespace wv {
namespace {

constexpr const char* kLabel = "PLRUploader";

void logWithLabel(const std::string& text) { PLRLogger::sharedLogger().logWithLabel(kLabel, text); }

}  // namespace

// The session holds its delegate strongly; this keeps the uploader out of that cycle.
class PLRUploader::SessionDelegate final : public QXURLSessionDelegate {
  public:
    explicit SessionDelegate(std::weak_ptr<PLRUploader> uploader)
        : uploader_(std::move(uploader)) {}
    void URLSessionDidBecomeInvalidWithError(QXURLSession& s,
                                             const std::optional<net::Error>& e) override {
        if (auto u = uploader_.lock()) u->URLSessionDidBecomeInvalidWithError(s, e);
    }
    void URLSessionDidReceiveChallenge(QXURLSession& s, const net::AuthenticationChallenge& c,
                                       net::ChallengeCompletion completion) override {
        if (auto u = uploader_.lock()) {
            u->URLSessionDidReceiveChallenge(s, c, std::move(completion));
        } else {
            completion(net::ChallengeDisposition::CancelAuthenticationChallenge, nullptr);
        }
    }
    void URLSessionTaskDidCompleteWithError(QXURLSession& s, QXURLSessionTask& t,
                                            const std::optional<net::Error>& e) override {
        if (auto u = uploader_.lock()) u->URLSessionTaskDidCompleteWithError(s, t, e);
    }

  private:
    std::weak_ptr<PLRUploader> uploader_;
};

std::shared_ptr<PLRUploader> PLRUploader::create(std::shared_ptr<OperationQueue> queue,
                                                 std::weak_ptr<PLRUploaderDelegate> delegate) {
    std::shared_ptr<PLRUploader> uploader(new PLRUploader(std::move(queue), std::move(delegate)));
    if (supportsThermalNotifications()) {
        std::weak_ptr<PLRUploader> weak = uploader;
        uploader->thermalObserver_ = NotificationCenter::defaultCenter().addObserver(
            ProcessInfo::kThermalStateDidChangeNotification, nullptr, [weak](const Notification&) {
                if (auto u = weak.lock()) u->powerStageChanged();
            });
    }
    return uploader;
}

PLRUploader::PLRUploader(std::shared_ptr<OperationQueue> queue,
                         std::weak_ptr<PLRUploaderDelegate> delegate)
    : queue_(std::move(queue)), delegate_(std::move(delegate)) {}

PLRUploader::~PLRUploader() {
    if (thermalObserver_) NotificationCenter::defaultCenter().removeObserver(thermalObserver_);
}

void PLRUploader::onQueue(std::function<void(PLRUploader&)> work) {
    std::weak_ptr<PLRUploader> weak = weak_from_this();
    queue_->addOperation([weak, work = std::move(work)] {
        if (auto self = weak.lock()) work(*self);
    });
}

void PLRUploader::powerStageChanged() {
    onQueue([](PLRUploader& u) { u.session_.reset(); });
}

void PLRUploader::setDefaultUploadTimeout(double seconds) {
    onQueue([seconds](PLRUploader& u) {
        u.defaultUploadTimeout_.store(seconds);
        u.session_.reset();
    });
}

void PLRUploader::setLowPowerUploadTimeout(double seconds) {
    onQueue([seconds](PLRUploader& u) {
        u.lowPowerUploadTimeout_.store(seconds);
        u.session_.reset();
    });
}

bool PLRUploader::lowPowerMode() const {
    return supportsThermalNotifications() &&
           ProcessInfo::shared().thermalState() != ProcessInfo::ThermalState::Nominal;
}

bool PLRUploader::supportsBackgroundRequests() const {
    if (PLRApplication::hostApplication().isExtension()) return false;
    return shouldUseBackgroundRequests();
}

std::shared_ptr<QXURLSessionConfiguration> PLRUploader::createBackgroundSessionConfiguration()
    const {
    return QXURLSessionConfiguration::backgroundSessionConfigurationWithIdentifier(
        kBackgroundSessionIdentifier);
}

std::shared_ptr<QXURLSession> PLRUploader::session() {
    if (session_) return session_;
    std::shared_ptr<QXURLSessionConfiguration> configuration;
    if (supportsBackgroundRequests()) configuration = createBackgroundSessionConfiguration();
    if (!configuration) configuration = QXURLSessionConfiguration::defaultSessionConfiguration();
    const bool lowPower = lowPowerMode();
    configuration->allowsCellularAccess = !lowPower;
    configuration->timeoutIntervalForResource =
        lowPower ? lowPowerUploadTimeout_.load() : defaultUploadTimeout_.load();
    std::weak_ptr<OperationQueue> queue = queue_;
    session_ = QXURLSession::sessionWithConfiguration(
        configuration, std::make_shared<SessionDelegate>(weak_from_this()),
        [queue](std::function<void()> block) {
            if (auto q = queue.lock()) q->addOperation(std::move(block));
        });
    return session_;
}

void PLRUploader::startUploadRequest(const net::URLRequest& request, const std::string& filePath,
                                     const std::string& uniqueName) {
    onQueue([request, filePath, uniqueName](PLRUploader& u) {
        if (u.checkForExistingTaskMatchingDescription(uniqueName)) {
            PLRLogger::sharedLogger().log("A task currently exists for '" + uniqueName +
                                          "', skipping");
            return;
        }
        u.startNewUploadRequest(request, filePath, uniqueName);
    });
}

bool PLRUploader::checkForExistingTaskMatchingDescription(const std::string& uniqueName) const {
    return transfers_.count(uniqueName) > 0;
}

void PLRUploader::startNewUploadRequest(const net::URLRequest& request, const std::string& filePath,
                                        const std::string& uniqueName) {
    if (request.url.empty() || filePath.empty() || uniqueName.empty()) {
        reportFailureToStart(kMissingInput, filePath, uniqueName);
        return;
    }
    struct stat st {};
    if (::stat(filePath.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        ::access(filePath.c_str(), R_OK) != 0) {
        reportFailureToStart(kUnreadableFile, filePath, uniqueName);
        return;
    }
    auto s = session();
    auto task = s ? s->uploadTaskWithRequest(request, filePath) : nullptr;
    if (!task) {
        reportFailureToStart(kMissingInput, filePath, uniqueName);
        return;
    }
    transfers_[uniqueName] = Transfer{s, task, request};
    task->resume();
}

void PLRUploader::reportFailureToStart(int64_t code, const std::string& filePath,
                                       const std::string& uniqueName) {
    auto error = errorWithCode(code, errorUserInfoWithFilePath(filePath, uniqueName));
    onQueue([uniqueName, error](PLRUploader& u) {
        u.handleTaskDescriptionCompletedWithError(uniqueName, error);
    });
}

void PLRUploader::handleTaskDescriptionCompletedWithError(const std::string& uniqueName,
                                                          const std::optional<net::Error>& error) {
    if (auto d = delegate()) d->uploaderDidFinishUploadWithUniqueName(*this, uniqueName, error);
}

void PLRUploader::attemptToReconnectBackgroundSessionWithCompletionBlock(
    std::function<void()> block) {
    onQueue([block = std::move(block)](PLRUploader&) {
        if (block) block();
    });
}

net::Error PLRUploader::errorWithCode(int64_t code, std::map<std::string, std::any> userInfo) {
    net::Error error;
    error.domain = kTRNNetworkErrorDomain;
    error.code = code;
    error.userInfo = std::move(userInfo);
    return error;
}

std::map<std::string, std::any> PLRUploader::errorUserInfoWithFilePath(
    const std::string& path, const std::string& uniqueName) {
    return {{kFilePathKey, path.empty() ? std::string("(null)") : path},
            {kUniqueNameKey, uniqueName.empty() ? std::string("(null)") : uniqueName}};
}

void PLRUploader::URLSessionDidBecomeInvalidWithError(QXURLSession&,
                                                      const std::optional<net::Error>& error) {
    logWithLabel("Error: session has become invalid " +
                 (error ? error->description() : std::string("(null)")));
}

void PLRUploader::URLSessionDidReceiveChallenge(QXURLSession& session,
                                                const net::AuthenticationChallenge& challenge,
                                                net::ChallengeCompletion completion) {
    auto d = delegate();
    if (d && d->handlesChallenges()) {
        d->uploaderSessionDidReceiveChallenge(*this, session, challenge, std::move(completion));
        return;
    }
    completion(net::ChallengeDisposition::PerformDefaultHandling, nullptr);
}

void PLRUploader::URLSessionTaskDidCompleteWithError(QXURLSession&, QXURLSessionTask& task,
                                                     const std::optional<net::Error>& error) {
    std::string uniqueName;
    net::URLRequest request = task.originalRequest();
    for (const auto& [name, transfer] : transfers_) {
        if (transfer.task.get() == &task) {
            uniqueName = name;
            request = transfer.request;
            break;
        }
    }
    if (uniqueName.empty()) return;  // not one of ours: nothing to report it to
    auto d = delegate();
    if (!d) {
        transfers_.erase(uniqueName);
        return;
    }
    std::weak_ptr<PLRUploader> weak = weak_from_this();
    d->uploaderCompletedRequest(
        *this, request, task.response(), uniqueName, error,
        [weak, uniqueName, request](bool retry, const std::optional<net::Error>& outcome) {
            auto self = weak.lock();
            if (!self) return;
            if (retry) {
                PLRLogger::sharedLogger().log("Retrying task with name " + uniqueName);
                self->restartTask(uniqueName, request);
                return;
            }
            self->onQueue([uniqueName, outcome](PLRUploader& u) {
                u.transfers_.erase(uniqueName);
                u.handleTaskDescriptionCompletedWithError(uniqueName, outcome);
            });
        });
}

// The request goes again as it was made, its packaged timestamp included.
void PLRUploader::restartTask(const std::string& uniqueName, const net::URLRequest& request) {
    onQueue([uniqueName, request](PLRUploader& u) {
        u.transfers_.erase(uniqueName);
        auto d = u.delegate();
        const std::string path = d ? d->uploaderFilePathForUniqueName(u, uniqueName) : "";
        if (u.checkForExistingTaskMatchingDescription(uniqueName)) return;
        u.startNewUploadRequest(request, path, uniqueName);
    });
}

}  // namespace wv
