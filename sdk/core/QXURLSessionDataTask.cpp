#include "sdk/core/QXURLSessionDataTask.h"

#include "sdk/core/QXURLSession.h"

namespace wv {

// Holds the task while its connection runs: a resumed task lives until it completes, even
// when its creator let go of it.
class QXURLSessionDataTask::ConnectionDelegate final : public net::URLConnectionDelegate {
  public:
    explicit ConnectionDelegate(std::shared_ptr<QXURLSessionDataTask> task)
        : task_(std::move(task)) {}
    void didReceiveResponse(net::URLConnection&, const net::URLResponse& r) override {
        task_->connectionDidReceiveResponse(r);
    }
    void didReceiveData(net::URLConnection&, const std::string& d) override {
        task_->connectionDidReceiveData(d);
    }
    void didFailWithError(net::URLConnection&, const net::Error& e) override {
        task_->connectionDidFail(e);
    }
    void didFinishLoading(net::URLConnection&) override { task_->connectionDidFinishLoading(); }

  private:
    std::shared_ptr<QXURLSessionDataTask> task_;
};

QXURLSessionDataTask::~QXURLSessionDataTask() = default;

void QXURLSessionDataTask::resume() {
    std::shared_ptr<net::URLConnection> connection;
    {
        std::lock_guard lock(mutex_);
        if (connection_) return;
        connection_ = net::URLConnection::create(
            originalRequest_,
            std::make_shared<ConnectionDelegate>(
                std::static_pointer_cast<QXURLSessionDataTask>(shared_from_this())));
        connection = connection_;
    }
    connection->start();
}

void QXURLSessionDataTask::cancel() { cancelConnection(); }

void QXURLSessionDataTask::cancelConnection() {
    std::shared_ptr<net::URLConnection> connection;
    {
        std::lock_guard lock(mutex_);
        connection = connection_;
    }
    if (connection) connection->cancel();
}

void QXURLSessionDataTask::connectionDidReceiveResponse(const net::URLResponse& response) {
    if (auto session = delegate()) session->taskDidReceiveResponse(*this, response);
    std::lock_guard lock(mutex_);
    response_ = response;
}

void QXURLSessionDataTask::connectionDidReceiveData(const std::string& data) {
    {
        std::lock_guard lock(mutex_);
        if (!body_) body_.emplace();
        body_->append(data);
    }
    if (auto session = delegate()) session->taskDidReceiveData(*this, data);
}

void QXURLSessionDataTask::connectionDidFail(const net::Error& error) {
    {
        std::lock_guard lock(mutex_);
        error_ = error;
    }
    complete();
}

void QXURLSessionDataTask::connectionDidFinishLoading() { complete(); }

void QXURLSessionDataTask::complete() {
    std::optional<std::string> body;
    std::optional<net::URLResponse> response;
    std::optional<net::Error> error;
    {
        std::lock_guard lock(mutex_);
        body = body_;
        response = response_;
        error = error_;
    }
    if (completionHandler_) {
        completionHandler_(body, response, error);
        completionHandler_ = nullptr;
    }
    if (auto session = delegate()) session->taskDidCompleteWithError(*this, error);
}

}  // namespace wv
