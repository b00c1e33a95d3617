#include "platform/net/URLSessionTask.h"

#include "platform/net/SessionEngine.h"

namespace wv::net {

URLSessionTask::URLSessionTask(std::weak_ptr<SessionEngine> engine, uint64_t identifier, Kind kind,
                               URLRequest request)
    : engine_(std::move(engine)),
      identifier_(identifier),
      kind_(kind),
      request_(std::move(request)) {}

std::optional<URLResponse> URLSessionTask::response() const {
    std::lock_guard lock(mutex_);
    return response_;
}

std::optional<Error> URLSessionTask::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

URLSessionTask::State URLSessionTask::state() const {
    std::lock_guard lock(mutex_);
    return state_;
}

void URLSessionTask::resume() {
    {
        std::lock_guard lock(mutex_);
        if (resumed_) return;
        resumed_ = true;
    }
    if (auto engine = engine_.lock()) engine->resume(shared_from_this());
}

void URLSessionTask::cancel() {
    if (auto engine = engine_.lock()) engine->cancel(shared_from_this());
}

}  // namespace wv::net
