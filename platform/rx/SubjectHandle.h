#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "platform/rx/Observable.h"
#include "platform/rx/SubjectCore.h"

namespace wv::rx::detail {

// What both kinds of subject offer; they differ only in whether a value is kept.
// Copies of a handle are the same subject (as a reference would be).
template <typename T>
class SubjectHandle {
public:
    // After completion or disposal sending has no effect. The subject stays alive until the
    // delivery ends, even when a subscriber destroys the handle's owner.
    void onNext(const T& value) const {
        auto core = core_;
        core->onNext(value);
    }
    void onCompleted() const {
        auto core = core_;
        core->onCompleted();
    }
    void dispose() const { core_->dispose(); }
    bool isDisposed() const { return core_->isDisposed(); }
    bool isCompleted() const { return core_->isCompleted(); }
    size_t subscriberCount() const { return core_->subscriberCount(); }

    Observable<T> asObservable() const {
        std::shared_ptr<SubjectCore<T>> core = core_;
        return Observable<T>::create(
            [core](Observer<T> observer) { return core->subscribe(std::move(observer)); });
    }
    Disposable subscribe(Observer<T> observer) const {
        return core_->subscribe(std::move(observer));
    }
    Disposable subscribe(std::function<void(const T&)> onNext,
                         std::function<void()> onCompleted = {}) const {
        return subscribe(Observer<T>{std::move(onNext), std::move(onCompleted)});
    }

protected:
    explicit SubjectHandle(std::optional<T> initial)
        : core_(std::make_shared<SubjectCore<T>>(std::move(initial))) {}

    std::shared_ptr<SubjectCore<T>> core_;
};

}  // namespace wv::rx::detail
