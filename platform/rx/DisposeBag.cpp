#include "platform/rx/DisposeBag.h"

#include <utility>

namespace wv::rx {

DisposeBag::~DisposeBag() { dispose(); }

DisposeBag::DisposeBag(DisposeBag&& other) noexcept {
    std::lock_guard lock(other.mutex_);
    items_ = std::move(other.items_);
    other.items_.clear();
}

DisposeBag& DisposeBag::operator=(DisposeBag&& other) noexcept {
    if (this == &other) return *this;
    dispose();
    std::vector<Disposable> taken;
    {
        std::lock_guard lock(other.mutex_);
        taken = std::move(other.items_);
        other.items_.clear();
    }
    std::lock_guard lock(mutex_);
    items_ = std::move(taken);
    return *this;
}

void DisposeBag::insert(const Disposable& disposable) {
    std::lock_guard lock(mutex_);
    items_.push_back(disposable);
}

void DisposeBag::dispose() {
    std::vector<Disposable> taken;
    {
        std::lock_guard lock(mutex_);
        taken.swap(items_);
    }
    // Outside the lock: ending a subscription may run code that inserts into this bag.
    for (const Disposable& d : taken) d.dispose();
}

size_t DisposeBag::size() const {
    std::lock_guard lock(mutex_);
    return items_.size();
}

}  // namespace wv::rx
