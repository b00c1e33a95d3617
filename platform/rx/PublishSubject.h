#pragma once

#include "platform/rx/SubjectHandle.h"

namespace wv::rx {

// Passes on only the values sent after a subscriber joined.
template <typename T>
class PublishSubject : public detail::SubjectHandle<T> {
public:
    PublishSubject() : detail::SubjectHandle<T>(std::nullopt) {}
};

}  // namespace wv::rx
