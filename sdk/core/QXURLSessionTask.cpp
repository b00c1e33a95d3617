#include "sdk/core/QXURLSessionTask.h"

namespace wv {

net::URLRequest QXURLSessionTask::originalRequest() const {
    std::lock_guard lock(mutex_);
    return originalRequest_;
}

std::optional<net::URLResponse> QXURLSessionTask::response() const {
    std::lock_guard lock(mutex_);
    return response_;
}

std::optional<net::Error> QXURLSessionTask::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

void QXURLSessionTask::setOriginalRequest(net::URLRequest request) {
    std::lock_guard lock(mutex_);
    originalRequest_ = std::move(request);
}

}  // namespace wv
