#pragma once

#include <memory>
#include <utility>

#include "platform/rx/Observable.h"
#include "platform/rx/SubjectCore.h"

namespace wv::rx {

// Passes on only the values sent after a subscriber joined. Copies of the handle are the same
// subject.
template <typename T>
class PublishSubject {
public:
    PublishSubject() : core_(std::make_shared<detail::SubjectCore<T>>(std::nullopt)) {}

    // After completion or disposal sending has no effect.
    void onNext(const T& value) const { core_->onNext(value); }
    void onCompleted() const { core_->onCompleted(); }
    void dispose() const { core_->dispose(); }
    bool isDisposed() const { return core_->isDisposed(); }
    bool isCompleted() const { return core_->isCompleted(); }
    size_t subscriberCount() const { return core_->subscriberCount(); }

    Observable<T> asObservable() const {
        std::shared_ptr<detail::SubjectCore<T>> core = core_;
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

private:
    std::shared_ptr<detail::SubjectCore<T>> core_;
};

}  // namespace wv::rx
