#pragma once

#include <any>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/dispatch/OperationQueue.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/net/AuthenticationChallenge.h"
#include "platform/net/Error.h"
#include "platform/net/URLRequest.h"
#include "sdk/analytics/PLRUploaderDelegate.h"
#include "sdk/core/QXURLSession.h"
#include "sdk/core/QXURLSessionConfiguration.h"

namespace wv {

// Sends packaged body files, one transfer per unique name at a time, restarts a transfer
// when its delegate asks for a retry, and reports every outcome to the delegate.
//
// Threads: every field is read and written on `operationQueue` (the event queue, serial),
// which is also the session's delegate queue. The public calls may come from any thread; they
// hand their work to that queue. The session is made on first use and dropped (released, not
// invalidated: running transfers go on) whenever a timeout or the thermal state changes, so
// the next transfer uses the current values. Running transfers are tracked by name here,
// not asked of the session, so a dropped session's transfers still count and the check and
// the start happen in one step on the queue.
class PLRUploader : public std::enable_shared_from_this<PLRUploader> {
  public:
    static constexpr const char* kUniqueNameKey = "PLRUploaderUniqueName";
    static constexpr const char* kFilePathKey = "NSFilePath";
    static constexpr int64_t kMissingInput = -2;
    static constexpr int64_t kUnreadableFile = -8;
    // Swapped against the settings' defaults on purpose: until the settings arrive, normal
    // conditions get the shorter limit.
    static constexpr double kInitialDefaultUploadTimeout = 3600.0;
    static constexpr double kInitialLowPowerUploadTimeout = 21600.0;
    static constexpr const char* kBackgroundSessionIdentifier = "io.plurio.background-session";

    static std::shared_ptr<PLRUploader> create(std::shared_ptr<OperationQueue> queue,
                                               std::weak_ptr<PLRUploaderDelegate> delegate);
    ~PLRUploader();
    PLRUploader(const PLRUploader&) = delete;
    PLRUploader& operator=(const PLRUploader&) = delete;

    const std::shared_ptr<OperationQueue>& operationQueue() const { return queue_; }
    std::shared_ptr<PLRUploaderDelegate> delegate() const { return delegate_.lock(); }

    // Setters and the thermal change drop the session, on the queue.
    void setDefaultUploadTimeout(double seconds);
    void setLowPowerUploadTimeout(double seconds);
    double defaultUploadTimeout() const { return defaultUploadTimeout_.load(); }
    double lowPowerUploadTimeout() const { return lowPowerUploadTimeout_.load(); }
    void powerStageChanged();

    static bool supportsThermalNotifications() { return true; }
    bool lowPowerMode() const;
    static bool shouldUseBackgroundRequests() { return false; }
    bool supportsBackgroundRequests() const;
    std::shared_ptr<QXURLSessionConfiguration> createBackgroundSessionConfiguration() const;
    // On the queue only.
    std::shared_ptr<QXURLSession> session();

    // Starts unless a transfer with that name is running or waiting to be retried.
    void startUploadRequest(const net::URLRequest& request, const std::string& filePath,
                            const std::string& uniqueName);
    // On the queue only: whether a transfer of that name is tracked.
    bool checkForExistingTaskMatchingDescription(const std::string& uniqueName) const;
    // On the queue: runs the block at once, there being no background session to reconnect.
    void attemptToReconnectBackgroundSessionWithCompletionBlock(std::function<void()> block);

    static net::Error errorWithCode(int64_t code, std::map<std::string, std::any> userInfo);
    static std::map<std::string, std::any> errorUserInfoWithFilePath(const std::string& path,
                                                                     const std::string& uniqueName);

    // The session's messages (its delegate queue is the operation queue).
    void URLSessionDidBecomeInvalidWithError(QXURLSession& session,
                                             const std::optional<net::Error>& error);
    void URLSessionDidReceiveChallenge(QXURLSession& session,
                                       const net::AuthenticationChallenge& challenge,
                                       net::ChallengeCompletion completion);
    void URLSessionTaskDidCompleteWithError(QXURLSession& session, QXURLSessionTask& task,
                                            const std::optional<net::Error>& error);

  private:
    // A transfer keeps its session: a dropped session still has to deliver its transfers'
    // challenges and completions, which it does only while someone holds it.
    struct Transfer {
        std::shared_ptr<QXURLSession> session;
        std::shared_ptr<QXURLSessionTask> task;
        net::URLRequest request;
    };
    class SessionDelegate;

    PLRUploader(std::shared_ptr<OperationQueue> queue, std::weak_ptr<PLRUploaderDelegate> delegate);
    void onQueue(std::function<void(PLRUploader&)> work);
    void startNewUploadRequest(const net::URLRequest& request, const std::string& filePath,
                               const std::string& uniqueName);
    void reportFailureToStart(int64_t code, const std::string& filePath,
                              const std::string& uniqueName);
    void restartTask(const std::string& uniqueName, const net::URLRequest& request);
    void handleTaskDescriptionCompletedWithError(const std::string& uniqueName,
                                                 const std::optional<net::Error>& error);

    std::shared_ptr<OperationQueue> queue_;
    std::weak_ptr<PLRUploaderDelegate> delegate_;
    std::atomic<double> defaultUploadTimeout_{kInitialDefaultUploadTimeout};
    std::atomic<double> lowPowerUploadTimeout_{kInitialLowPowerUploadTimeout};
    std::shared_ptr<QXURLSession> session_;
    std::map<std::string, Transfer> transfers_;
    NotificationCenter::ObserverToken thermalObserver_ = 0;
};

}  // namespace wv
