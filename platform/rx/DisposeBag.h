#pragma once

#include <mutex>
#include <vector>

#include "platform/rx/Disposable.h"

namespace wv::rx {

// Owns subscriptions and ends them all when it is destroyed or replaced, so an object's
// subscriptions last exactly as long as the object's bag.
class DisposeBag {
public:
    DisposeBag() = default;
    ~DisposeBag();
    DisposeBag(const DisposeBag&) = delete;
    DisposeBag& operator=(const DisposeBag&) = delete;
    // Replacing a bag with a new one ends what the old one held.
    DisposeBag(DisposeBag&& other) noexcept;
    DisposeBag& operator=(DisposeBag&& other) noexcept;

    void insert(const Disposable& disposable);
    // Ends every held subscription, in the order they were inserted, and empties the bag.
    void dispose();
    size_t size() const;

private:
    mutable std::mutex mutex_;
    std::vector<Disposable> items_;
};

}  // namespace wv::rx
