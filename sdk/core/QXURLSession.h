#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/net/URLRequest.h"
#include "platform/net/URLSession.h"
#include "sdk/core/QXURLSessionConfiguration.h"
#include "sdk/core/QXURLSessionDelegate.h"
#include "sdk/core/QXURLSessionTask.h"

namespace wv {

class SerialQueue;

// The kits' way to a URL session. The factories hand out the platform's session (a
// QXPlatformURLSession) when it is complete enough, which on this system it always is;
// otherwise this class's own session, built on one-request connections. The own session
// prepares requests (joining the configuration's headers to the request's), makes tasks and
// forwards their events to its delegate on the delegate queue; it keeps no list of tasks,
// cancels nothing when invalidated, and leaves trust to the connection's default handling.
class QXURLSession : public std::enable_shared_from_this<QXURLSession> {
  public:
    using Executor = net::URLSession::Executor;
    using DataCompletion = QXURLSessionTask::DataCompletion;
    using DownloadCompletion = QXURLSessionTask::DownloadCompletion;
    using TasksCallback = std::function<void(std::vector<std::shared_ptr<QXURLSessionTask>>,
                                             std::vector<std::shared_ptr<QXURLSessionTask>>,
                                             std::vector<std::shared_ptr<QXURLSessionTask>>)>;

    static bool NSURLSessionShouldBeUsed();
    // Test-only: pretend the platform session is missing (false) or present (true);
    // nullopt restores the real answer.
    static void setPlatformSessionAvailableForTesting(std::optional<bool> available);

    // Nothing for a null configuration (unless the platform session is used, which makes a
    // default one). A delegate without a queue gets a new serial queue.
    static std::shared_ptr<QXURLSession> sessionWithConfiguration(
        const std::shared_ptr<QXURLSessionConfiguration>& configuration,
        std::shared_ptr<QXURLSessionDelegate> delegate = {}, Executor delegateQueue = {});
    // A serial queue of its own, released on a thread of its own so that it is never
    // destroyed by one of its blocks.
    static Executor newDefaultDelegateQueue();

    virtual ~QXURLSession();

    virtual std::shared_ptr<QXURLSessionTask> dataTaskWithRequest(const net::URLRequest& request,
                                                                  DataCompletion completion = {});
    virtual std::shared_ptr<QXURLSessionTask> uploadTaskWithRequest(const net::URLRequest& request,
                                                                    const std::string& fromFile,
                                                                    DataCompletion completion = {});
    virtual std::shared_ptr<QXURLSessionTask> downloadTaskWithRequest(
        const net::URLRequest& request, DownloadCompletion completion = {});
    std::shared_ptr<QXURLSessionTask> downloadTaskWithURL(const std::string& url);

    virtual void invalidateAndCancel();
    virtual void finishTasksAndInvalidate();
    virtual void getTasksWithCompletionHandler(TasksCallback callback);

    std::shared_ptr<QXURLSessionDelegate> delegate() const;
    const std::shared_ptr<QXURLSessionConfiguration>& configuration() const {
        return configuration_;
    }
    std::string sessionDescription;

    // The own session's side of its tasks.
    bool shouldInvokeDelegateForTask(const QXURLSessionTask& task) const;
    void configureTask(QXURLSessionTask& task, const net::URLRequest& request,
                       const std::function<void(net::URLRequest&)>& block);
    void taskDidReceiveResponse(QXURLSessionTask& task, const net::URLResponse& response);
    void taskDidReceiveData(QXURLSessionTask& task, const std::string& data);
    void downloadTaskDidFinishDownloadingToURL(QXURLSessionTask& task, const std::string& path);
    void taskDidCompleteWithError(QXURLSessionTask& task, const std::optional<net::Error>& error);
    net::URLRequest taskWillPerformHTTPRedirection(QXURLSessionTask& task,
                                                   const net::URLRequest& newRequest);

  protected:
    QXURLSession(std::shared_ptr<QXURLSessionConfiguration> configuration,
                 std::shared_ptr<QXURLSessionDelegate> delegate, Executor delegateQueue);
    void deliver(std::function<void(QXURLSession&, QXURLSessionDelegate&)> message);

  private:
    std::shared_ptr<QXURLSessionConfiguration> configuration_;
    mutable std::mutex mutex_;
    std::shared_ptr<QXURLSessionDelegate> delegate_;
    Executor delegateQueue_;
    std::mutex prepareMutex_;  // serialises request preparation
};

}  // namespace wv
