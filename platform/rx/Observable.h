#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

#include "platform/rx/Disposable.h"
#include "platform/rx/Observer.h"
#include "platform/rx/Scheduler.h"

namespace wv::rx {

// A stream of values. Subscribing runs the stream's subscribe function, which hands values to
// the observer synchronously on the thread that produces them, unless `observeOn` moves them.
// Operators build new streams; each subscription to one subscribes to its source anew.
template <typename T>
class Observable {
public:
    using SubscribeFunction = std::function<Disposable(Observer<T>)>;

    Observable() = default;  // never emits, never completes
    static Observable create(SubscribeFunction subscribe) {
        Observable o;
        o.subscribe_ = std::make_shared<SubscribeFunction>(std::move(subscribe));
        return o;
    }

    Disposable subscribe(Observer<T> observer) const {
        if (!subscribe_ || !*subscribe_) return Disposable();
        return (*subscribe_)(std::move(observer));
    }
    Disposable subscribe(std::function<void(const T&)> onNext,
                         std::function<void()> onCompleted = {}) const {
        return subscribe(Observer<T>{std::move(onNext), std::move(onCompleted)});
    }

    template <typename F>
    auto map(F transform) const {
        using U = std::decay_t<std::invoke_result_t<F&, const T&>>;
        Observable source = *this;
        return Observable<U>::create([source, transform](Observer<U> observer) {
            return source.subscribe(
                Observer<T>{[observer, transform](const T& v) { observer.next(transform(v)); },
                            observer.onCompleted});
        });
    }

    Observable filter(std::function<bool(const T&)> predicate) const {
        Observable source = *this;
        return create([source, predicate](Observer<T> observer) {
            return source.subscribe(Observer<T>{[observer, predicate](const T& v) {
                                                    if (predicate(v)) observer.next(v);
                                                },
                                                observer.onCompleted});
        });
    }

    // Runs the side effects before passing each event on.
    Observable doOnNext(std::function<void(const T&)> onNext,
                        std::function<void()> onCompleted = {}) const {
        Observable source = *this;
        return create([source, onNext, onCompleted](Observer<T> observer) {
            return source.subscribe(Observer<T>{[observer, onNext](const T& v) {
                                                    if (onNext) onNext(v);
                                                    observer.next(v);
                                                },
                                                [observer, onCompleted] {
                                                    if (onCompleted) onCompleted();
                                                    observer.completed();
                                                }});
        });
    }

    // Delivers every event through `scheduler`. Events still waiting there when the
    // subscription ends are dropped.
    Observable observeOn(std::shared_ptr<Scheduler> scheduler) const {
        Observable source = *this;
        return create([source, scheduler](Observer<T> observer) {
            auto alive = std::make_shared<std::atomic<bool>>(true);
            Disposable upstream =
                source.subscribe(Observer<T>{[scheduler, observer, alive](const T& v) {
                                                 scheduler->schedule([observer, alive, v] {
                                                     if (*alive) observer.next(v);
                                                 });
                                             },
                                             [scheduler, observer, alive] {
                                                 scheduler->schedule([observer, alive] {
                                                     if (*alive) observer.completed();
                                                 });
                                             }});
            return Disposable([alive, upstream] {
                *alive = false;
                upstream.dispose();
            });
        });
    }

private:
    std::shared_ptr<SubscribeFunction> subscribe_;
};

}  // namespace wv::rx
