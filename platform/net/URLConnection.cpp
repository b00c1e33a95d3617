#include "platform/net/URLConnection.h"

#include "platform/net/URLSession.h"

namespace wv::net {

class URLConnection::Adapter final : public URLSessionDelegate {
  public:
    explicit Adapter(std::weak_ptr<URLConnection> connection)
        : connection_(std::move(connection)) {}

    void didReceiveResponse(const std::shared_ptr<URLSession>&,
                            const std::shared_ptr<URLSessionTask>&,
                            const URLResponse& response) override {
        if (auto c = connection_.lock())
            if (auto d = c->liveDelegate()) d->didReceiveResponse(*c, response);
    }
    void didReceiveData(const std::shared_ptr<URLSession>&, const std::shared_ptr<URLSessionTask>&,
                        const std::string& data) override {
        if (auto c = connection_.lock())
            if (auto d = c->liveDelegate()) d->didReceiveData(*c, data);
    }
    void didComplete(const std::shared_ptr<URLSession>&, const std::shared_ptr<URLSessionTask>&,
                     const std::optional<Error>& error) override {
        auto c = connection_.lock();
        if (!c) return;
        if (auto d = c->liveDelegate()) {
            if (error)
                d->didFailWithError(*c, *error);
            else
                d->didFinishLoading(*c);
        }
        c->end();
    }

  private:
    std::weak_ptr<URLConnection> connection_;
};

URLConnection::URLConnection(URLRequest request, std::shared_ptr<URLConnectionDelegate> delegate)
    : request_(std::move(request)), delegate_(std::move(delegate)) {}

std::shared_ptr<URLConnection> URLConnection::create(
    URLRequest request, std::shared_ptr<URLConnectionDelegate> delegate) {
    return std::shared_ptr<URLConnection>(
        new URLConnection(std::move(request), std::move(delegate)));
}

URLConnection::~URLConnection() {
    if (session_) session_->invalidateAndCancel();
}

std::shared_ptr<URLConnectionDelegate> URLConnection::liveDelegate() const {
    std::lock_guard lock(mutex_);
    return cancelled_ ? nullptr : delegate_;
}

void URLConnection::end() {
    std::shared_ptr<URLConnection> self;
    std::shared_ptr<URLConnectionDelegate> delegate;
    std::lock_guard lock(mutex_);
    self = std::move(self_);
    delegate = std::move(delegate_);
}

void URLConnection::start() {
    std::lock_guard lock(mutex_);
    if (started_ || cancelled_) return;
    started_ = true;
    session_ = URLSession::create(URLSessionConfiguration::defaultSessionConfiguration(),
                                  std::make_shared<Adapter>(weak_from_this()));
    task_ = request_.bodyFile.empty() ? session_->dataTask(request_)
                                      : session_->uploadTask(request_, request_.bodyFile);
    // A running connection keeps itself (and so its delegate) alive until its last event.
    self_ = shared_from_this();
    task_->resume();
    session_->finishTasksAndInvalidate();
}

void URLConnection::cancel() {
    std::shared_ptr<URLSessionTask> task;
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
        task = task_;
    }
    if (task) task->cancel();
    end();
}

}  // namespace wv::net
