#pragma once

#include <utility>

#include "platform/rx/BehaviorSubject.h"

namespace wv::rx {

// A current value that every new subscriber receives at once; every value stored is passed
// on to all subscribers, also one equal to the previous value.
template <typename T>
class Variable {
public:
    explicit Variable(T initial) : subject_(std::move(initial)) {}

    T value() const { return subject_.value(); }
    void setValue(const T& value) const { subject_.onNext(value); }

    Observable<T> asObservable() const { return subject_.asObservable(); }
    Disposable subscribe(std::function<void(const T&)> onNext) const {
        return subject_.subscribe(std::move(onNext));
    }

private:
    BehaviorSubject<T> subject_;
};

}  // namespace wv::rx
