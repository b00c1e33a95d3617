#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/dispatch/OperationQueue.h"
#include "platform/net/AuthenticationChallenge.h"
#include "platform/net/Error.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLResponse.h"
#include "sdk/core/QXURLSession.h"
#include "sdk/core/TRNCertificatePinner.h"

namespace wv {

class QXFileManager;
class QXNetworkClient;

class QXNetworkClientDelegate {
  public:
    virtual ~QXNetworkClientDelegate() = default;
    virtual bool networkClientCanUseBackgroundSessions(QXNetworkClient& client) = 0;
    // `path` is the packaged file's absolute path; no error means the server took it.
    virtual void networkClientDidFinishUploadWithPath(QXNetworkClient& client,
                                                      const std::string& path,
                                                      const std::optional<net::Error>& error) = 0;
};

// Uploads packaged crash reports. A task is known by its description, the packaged file's
// path relative to the kit's root, so that a later launch could tie a task to its file.
//
// Threads: the table of tasks, restarts and every session callback live on `operationQueue`
// (serial: the kit's work queue), which is also the session's delegate queue. The public calls
// may come from any thread. The synchronous path runs on the caller's thread and reports there.
//
// The facade's tasks carry no description, and a check for an existing task must be one step
// with the start of a new one (or two requests for one file could both start), so the client
// keeps its own table of tasks by description; a task waiting for its restart stays in it.
class QXNetworkClient : public std::enable_shared_from_this<QXNetworkClient> {
  public:
    static constexpr const char* kBackgroundSessionIdentifier =
        "com.balvik.quellix.mac.crash.background-session";
    static constexpr const char* kErrorDomain = "QXNetworkError";
    static constexpr int64_t kMissingFileErrorCode = -2;
    // A server that keeps asking for another try must not keep one file going for the whole
    // life of the process: after this many restarts the file waits for a later launch.
    static constexpr int kMaximumRestartsPerFile = 10;

    using CheckCompletion = std::function<void(bool exists)>;

    static std::shared_ptr<QXNetworkClient> create(std::shared_ptr<OperationQueue> queue,
                                                   std::shared_ptr<QXFileManager> fileManager,
                                                   std::weak_ptr<QXNetworkClientDelegate> delegate);
    static std::shared_ptr<TRNCertificatePinner> pinner();
    virtual ~QXNetworkClient();
    QXNetworkClient(const QXNetworkClient&) = delete;
    QXNetworkClient& operator=(const QXNetworkClient&) = delete;

    const std::shared_ptr<OperationQueue>& operationQueue() const { return queue_; }
    const std::shared_ptr<QXFileManager>& fileManager() const { return fileManager_; }
    const std::shared_ptr<TRNCertificatePinner>& certPinner() const { return certPinner_; }
    bool canUseBackgroundSession() const { return canUseBackgroundSession_; }

    static bool NSURLSessionAvailable();
    virtual bool supportsBackgroundRequests() const;
    // On the queue only.
    std::shared_ptr<QXURLSession> session();

    virtual void startUploadRequest(const net::URLRequest& request, const std::string& filePath,
                                    bool immediately);
    void startImmediateUploadRequest(const net::URLRequest& request, const std::string& filePath);
    // On the queue only.
    void startNewUploadRequest(const net::URLRequest& request, const std::string& filePath);
    void attemptToReconnectBackgroundSessionWithCompletionBlock(std::function<void()> block);

    std::string rootPath() const;
    std::string absolutePathForRelativeTaskPath(const std::string& description) const;
    // None (and a line in the SDK log) for a path outside the root.
    std::optional<std::string> relativeTaskPathForAbsolutePath(const std::string& path) const;

    static bool taskArrayHasTaskMatchingDescription(const std::vector<std::string>& descriptions,
                                                    const std::string& description);
    // On the queue, then `completion` there.
    void checkForExistingTaskMatchingDescription(const std::string& description,
                                                 CheckCompletion completion);

    // The handler the system gives for finished background events; called once, then cleared.
    void setBackgroundCompletionHandler(std::function<void()> handler);

    // The session's messages (on the queue).
    void URLSessionDidBecomeInvalidWithError(const std::optional<net::Error>& error);
    void URLSessionDidReceiveChallenge(const net::AuthenticationChallenge& challenge,
                                       net::ChallengeCompletion completion);
    void URLSessionDidFinishEventsForBackgroundURLSession();
    void URLSessionTaskDidCompleteWithError(QXURLSessionTask& task,
                                            const std::optional<net::Error>& error);

  protected:
    QXNetworkClient(std::shared_ptr<OperationQueue> queue,
                    std::shared_ptr<QXFileManager> fileManager,
                    std::weak_ptr<QXNetworkClientDelegate> delegate);

  private:
    // The session goes with its task: whoever holds the task must keep its session, which
    // delivers the task's events only while it is held.
    struct Transfer {
        std::shared_ptr<QXURLSession> session;
        std::shared_ptr<QXURLSessionTask> task;  // none while a restart waits
        net::URLRequest request;
    };
    class SessionDelegate;

    void onQueue(std::function<void(QXNetworkClient&)> work);
    std::shared_ptr<QXNetworkClientDelegate> delegate() const { return delegate_.lock(); }
    std::optional<net::URLResponse> sendSynchronously(const net::URLRequest& request);
    void runAfterRetryValueFromResponse(const std::optional<net::URLResponse>& response,
                                        std::function<void()> block);
    void restartTask(const std::string& description, const net::URLRequest& request,
                     const std::optional<net::URLResponse>& response,
                     const std::optional<net::Error>& error);
    void handleTaskDescriptionCompletedWithError(const std::string& description,
                                                 const std::optional<net::Error>& error);
    void reportFinished(const std::string& path, const std::optional<net::Error>& error);

    std::shared_ptr<OperationQueue> queue_;
    std::shared_ptr<QXFileManager> fileManager_;
    std::weak_ptr<QXNetworkClientDelegate> delegate_;
    std::shared_ptr<TRNCertificatePinner> certPinner_;
    bool canUseBackgroundSession_ = false;
    std::shared_ptr<QXURLSession> session_;
    std::map<std::string, Transfer> transfers_;
    std::map<std::string, int> restarts_;
    std::function<void()> backgroundCompletionHandler_;
};

}  // namespace wv
