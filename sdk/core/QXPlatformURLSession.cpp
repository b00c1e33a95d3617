#include "sdk/core/QXPlatformURLSession.h"

namespace wv {

// Turns the platform session's messages into the facade's, naming the facade's objects.
class QXPlatformURLSession::Adapter final : public net::URLSessionDelegate {
  public:
    Adapter(std::shared_ptr<QXURLSessionDelegate> delegate) : delegate_(std::move(delegate)) {}
    std::weak_ptr<QXPlatformURLSession> owner;

    void didBecomeInvalid(const std::shared_ptr<net::URLSession>&,
                          const std::optional<net::Error>& e) override {
        if (auto s = owner.lock()) delegate_->URLSessionDidBecomeInvalidWithError(*s, e);
    }
    void didReceiveChallenge(const std::shared_ptr<net::URLSession>& session,
                             const net::AuthenticationChallenge& c,
                             net::ChallengeCompletion completion) override {
        if (auto s = owner.lock())
            delegate_->URLSessionDidReceiveChallenge(*s, c, std::move(completion));
        else
            net::URLSessionDelegate::didReceiveChallenge(session, c, std::move(completion));
    }
    void didReceiveResponse(const std::shared_ptr<net::URLSession>&,
                            const std::shared_ptr<net::URLSessionTask>& t,
                            const net::URLResponse& r) override {
        if (auto s = owner.lock())
            delegate_->URLSessionDataTaskDidReceiveResponse(*s, *s->wrapperFor(t), r, [](int) {});
    }
    void didReceiveData(const std::shared_ptr<net::URLSession>&,
                        const std::shared_ptr<net::URLSessionTask>& t,
                        const std::string& d) override {
        if (auto s = owner.lock())
            delegate_->URLSessionDataTaskDidReceiveData(*s, *s->wrapperFor(t), d);
    }
    void didFinishDownloading(const std::shared_ptr<net::URLSession>&,
                              const std::shared_ptr<net::URLSessionTask>& t,
                              const std::string& path) override {
        if (auto s = owner.lock())
            delegate_->URLSessionDownloadTaskDidFinishDownloadingToURL(*s, *s->wrapperFor(t), path);
    }
    void didComplete(const std::shared_ptr<net::URLSession>&,
                     const std::shared_ptr<net::URLSessionTask>& t,
                     const std::optional<net::Error>& e) override {
        if (auto s = owner.lock())
            delegate_->URLSessionTaskDidCompleteWithError(*s, *s->wrapperFor(t), e);
    }

  private:
    std::shared_ptr<QXURLSessionDelegate> delegate_;
};

std::shared_ptr<QXURLSession> QXPlatformURLSession::make(
    const std::shared_ptr<QXURLSessionConfiguration>& configuration,
    std::shared_ptr<QXURLSessionDelegate> delegate, Executor delegateQueue) {
    auto config =
        configuration ? configuration : QXURLSessionConfiguration::defaultSessionConfiguration();
    std::shared_ptr<QXPlatformURLSession> session(
        new QXPlatformURLSession(config, delegate, delegateQueue));
    std::shared_ptr<Adapter> adapter;
    if (delegate) adapter = std::make_shared<Adapter>(delegate);
    session->session_ =
        net::URLSession::create(config->platformConfiguration(), adapter, std::move(delegateQueue));
    if (adapter) adapter->owner = session;
    return session;
}

std::shared_ptr<QXURLSessionTask> QXPlatformURLSession::wrap(
    const std::shared_ptr<net::URLSessionTask>& task) {
    if (!task) return nullptr;
    auto wrapper = std::make_shared<QXPlatformURLSessionTask>(task);
    std::lock_guard lock(tasksMutex_);
    for (auto it = tasks_.begin(); it != tasks_.end();)
        it = it->second.expired() ? tasks_.erase(it) : std::next(it);
    tasks_[task->taskIdentifier()] = wrapper;
    return wrapper;
}

std::shared_ptr<QXURLSessionTask> QXPlatformURLSession::wrapperFor(
    const std::shared_ptr<net::URLSessionTask>& task) {
    {
        std::lock_guard lock(tasksMutex_);
        auto it = tasks_.find(task->taskIdentifier());
        if (it != tasks_.end())
            if (auto w = it->second.lock()) return w;
    }
    return std::make_shared<QXPlatformURLSessionTask>(task);
}

std::shared_ptr<QXURLSessionTask> QXPlatformURLSession::dataTaskWithRequest(
    const net::URLRequest& request, DataCompletion completion) {
    return wrap(session_->dataTask(request, std::move(completion)));
}

std::shared_ptr<QXURLSessionTask> QXPlatformURLSession::uploadTaskWithRequest(
    const net::URLRequest& request, const std::string& fromFile, DataCompletion completion) {
    return wrap(session_->uploadTask(request, fromFile, std::move(completion)));
}

std::shared_ptr<QXURLSessionTask> QXPlatformURLSession::downloadTaskWithRequest(
    const net::URLRequest& request, DownloadCompletion completion) {
    return wrap(session_->downloadTask(request, std::move(completion)));
}

void QXPlatformURLSession::invalidateAndCancel() { session_->invalidateAndCancel(); }

void QXPlatformURLSession::finishTasksAndInvalidate() { session_->finishTasksAndInvalidate(); }

void QXPlatformURLSession::getTasksWithCompletionHandler(TasksCallback callback) {
    auto self = std::static_pointer_cast<QXPlatformURLSession>(shared_from_this());
    session_->getTasks(
        [self, callback = std::move(callback)](auto data, auto upload, auto download) {
            auto wrapAll = [&](const std::vector<std::shared_ptr<net::URLSessionTask>>& tasks) {
                std::vector<std::shared_ptr<QXURLSessionTask>> out;
                for (const auto& t : tasks) out.push_back(self->wrapperFor(t));
                return out;
            };
            callback(wrapAll(data), wrapAll(upload), wrapAll(download));
        });
}

}  // namespace wv
