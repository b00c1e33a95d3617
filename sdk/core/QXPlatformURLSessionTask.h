#pragma once

#include <memory>

#include "platform/net/URLSessionTask.h"
#include "sdk/core/QXURLSessionTask.h"

namespace wv {

// The platform's task seen through the facade.
class QXPlatformURLSessionTask final : public QXURLSessionTask {
  public:
    explicit QXPlatformURLSessionTask(std::shared_ptr<net::URLSessionTask> task)
        : task_(std::move(task)) {}
    void resume() override { task_->resume(); }
    void cancel() override { task_->cancel(); }
    net::URLRequest originalRequest() const override { return task_->originalRequest(); }
    std::optional<net::URLResponse> response() const override { return task_->response(); }
    std::optional<net::Error> error() const override { return task_->error(); }
    const std::shared_ptr<net::URLSessionTask>& platformTask() const { return task_; }

  private:
    std::shared_ptr<net::URLSessionTask> task_;
};

}  // namespace wv
