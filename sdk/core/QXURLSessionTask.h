#pragma once

#include <memory>
#include <mutex>
#include <optional>

#include "platform/net/Error.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLResponse.h"
#include "platform/net/URLSessionTask.h"

namespace wv {

class QXURLSession;

// A task of the facade: the platform's task behind a thin wrapper, or one of the kit's own
// built on a one-request connection. The base does nothing when resumed or cancelled.
class QXURLSessionTask : public std::enable_shared_from_this<QXURLSessionTask> {
  public:
    using DataCompletion = net::URLSessionTask::DataCompletion;
    using DownloadCompletion = net::URLSessionTask::DownloadCompletion;

    virtual ~QXURLSessionTask() = default;
    template <class T>
    static std::shared_ptr<T> task() {
        return std::make_shared<T>();
    }

    virtual void resume() {}
    virtual void cancel() {}
    virtual void start() {}
    virtual void cleanup() {}

    virtual net::URLRequest originalRequest() const;
    virtual std::optional<net::URLResponse> response() const;
    virtual std::optional<net::Error> error() const;
    bool invokesDelegate() const { return invokesDelegate_; }

    // Set by the session that prepares the task.
    void setOriginalRequest(net::URLRequest request);
    void setDelegate(std::weak_ptr<QXURLSession> session) { delegate_ = std::move(session); }
    void setInvokesDelegate(bool invokes) { invokesDelegate_ = invokes; }

  protected:
    std::shared_ptr<QXURLSession> delegate() const { return delegate_.lock(); }
    mutable std::mutex mutex_;
    net::URLRequest originalRequest_;
    std::optional<net::URLResponse> response_;
    std::optional<net::Error> error_;

  private:
    std::weak_ptr<QXURLSession> delegate_;  // the session, not retained
    bool invokesDelegate_ = true;
};

}  // namespace wv
