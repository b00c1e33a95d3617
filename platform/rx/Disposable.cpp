#include "platform/rx/Disposable.h"

#include <mutex>
#include <utility>

#include "platform/rx/DisposeBag.h"

namespace wv::rx {

struct Disposable::State {
    std::mutex mutex;
    bool disposed = false;
    std::function<void()> action;
};

Disposable::Disposable() : state_(std::make_shared<State>()) {}

Disposable::Disposable(std::function<void()> action) : state_(std::make_shared<State>()) {
    state_->action = std::move(action);
}

void Disposable::dispose() const {
    std::function<void()> action;
    {
        std::lock_guard lock(state_->mutex);
        if (state_->disposed) return;
        state_->disposed = true;
        action = std::move(state_->action);
        state_->action = nullptr;
    }
    // Outside the lock: the action may end further subscriptions, even this one again.
    if (action) action();
}

bool Disposable::isDisposed() const {
    std::lock_guard lock(state_->mutex);
    return state_->disposed;
}

void Disposable::disposed(DisposeBag& bag) const { bag.insert(*this); }

}  // namespace wv::rx
