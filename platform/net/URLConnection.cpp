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
        if (auto c = live()) c->delegate_->didReceiveResponse(*c, response);
    }
    void didReceiveData(const std::shared_ptr<URLSession>&, const std::shared_ptr<URLSessionTask>&,
                        const std::string& data) override {
        if (auto c = live()) c->delegate_->didReceiveData(*c, data);
    }
    void didComplete(const std::shared_ptr<URLSession>&, const std::shared_ptr<URLSessionTask>&,
                     const std::optional<Error>& error) override {
        auto c = live();
        if (!c) return;
        if (error)
            c->delegate_->didFailWithError(*c, *error);
        else
            c->delegate_->didFinishLoading(*c);
    }

  private:
    std::shared_ptr<URLConnection> live() const {
        auto c = connection_.lock();
        return c && !c->cancelled_ && c->delegate_ ? c : nullptr;
    }
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

void URLConnection::start() {
    if (started_.exchange(true)) return;
    session_ = URLSession::create(URLSessionConfiguration::defaultSessionConfiguration(),
                                  std::make_shared<Adapter>(weak_from_this()));
    task_ = request_.bodyFile.empty() ? session_->dataTask(request_)
                                      : session_->uploadTask(request_, request_.bodyFile);
    task_->resume();
    session_->finishTasksAndInvalidate();
}

void URLConnection::cancel() {
    cancelled_ = true;
    if (task_) task_->cancel();
}

}  // namespace wv::net
