#pragma once

#include "platform/rx/SubjectHandle.h"

namespace wv::rx {

// Keeps the latest value: a new subscriber receives it at once, then every later value.
template <typename T>
class BehaviorSubject : public detail::SubjectHandle<T> {
public:
    explicit BehaviorSubject(T initial) : detail::SubjectHandle<T>(std::optional<T>(std::move(initial))) {}

    // The latest value sent (or the initial one).
    T value() const { return *this->core_->value(); }
};

}  // namespace wv::rx
