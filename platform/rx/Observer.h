#pragma once

#include <functional>

namespace wv::rx {

// What a subscriber hands in: called for every value, and once when the stream completes.
// Either may be empty.
template <typename T>
struct Observer {
    std::function<void(const T&)> onNext;
    std::function<void()> onCompleted;

    void next(const T& value) const {
        if (onNext) onNext(value);
    }
    void completed() const {
        if (onCompleted) onCompleted();
    }
};

}  // namespace wv::rx
