#pragma once

#include <map>
#include <memory>
#include <mutex>

#include "platform/net/URLSession.h"
#include "sdk/core/QXPlatformURLSessionTask.h"
#include "sdk/core/QXURLSession.h"

namespace wv {

// The platform's session behind the facade's interface: tasks, invalidation and the
// delegate's messages (challenges included) are the platform session's own; a request's
// header field beats the configuration's.
class QXPlatformURLSession final : public QXURLSession {
  public:
    static std::shared_ptr<QXURLSession> make(
        const std::shared_ptr<QXURLSessionConfiguration>& configuration,
        std::shared_ptr<QXURLSessionDelegate> delegate, Executor delegateQueue);

    std::shared_ptr<QXURLSessionTask> dataTaskWithRequest(const net::URLRequest& request,
                                                          DataCompletion completion) override;
    std::shared_ptr<QXURLSessionTask> uploadTaskWithRequest(const net::URLRequest& request,
                                                            const std::string& fromFile,
                                                            DataCompletion completion) override;
    std::shared_ptr<QXURLSessionTask> downloadTaskWithRequest(
        const net::URLRequest& request, DownloadCompletion completion) override;
    void invalidateAndCancel() override;
    void finishTasksAndInvalidate() override;
    void getTasksWithCompletionHandler(TasksCallback callback) override;

    const std::shared_ptr<net::URLSession>& platformSession() const { return session_; }

  private:
    class Adapter;
    using QXURLSession::QXURLSession;
    std::shared_ptr<QXURLSessionTask> wrap(const std::shared_ptr<net::URLSessionTask>& task);
    std::shared_ptr<QXURLSessionTask> wrapperFor(const std::shared_ptr<net::URLSessionTask>& task);

    std::shared_ptr<net::URLSession> session_;
    std::mutex tasksMutex_;
    std::map<uint64_t, std::weak_ptr<QXURLSessionTask>> tasks_;
};

}  // namespace wv
