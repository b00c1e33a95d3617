#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/rx/Observable.h"

namespace wv::rx {

namespace detail {

template <typename Combine, typename... Ts>
struct CombineLatestState {
    using Result = std::decay_t<std::invoke_result_t<Combine&, const Ts&...>>;

    CombineLatestState(Combine c, Observer<Result> o)
        : combine(std::move(c)), observer(std::move(o)) {}

    template <size_t I, typename V>
    void next(const V& value) {
        std::optional<Result> out;
        {
            std::unique_lock lock(mutex);
            std::get<I>(latest) = value;
            if (!allPresent(std::index_sequence_for<Ts...>{})) return;
            auto values = latest;  // the combination runs unlocked, on a copy
            lock.unlock();
            out = std::apply([this](const auto&... v) { return combine(*v...); }, values);
        }
        observer.next(*out);
    }

    void completed() {
        {
            std::lock_guard lock(mutex);
            if (++completedCount < sizeof...(Ts)) return;
        }
        observer.completed();
    }

    template <size_t... Is>
    bool allPresent(std::index_sequence<Is...>) const {
        return (std::get<Is>(latest).has_value() && ...);
    }

    Combine combine;
    Observer<Result> observer;
    std::mutex mutex;
    std::tuple<std::optional<Ts>...> latest;
    size_t completedCount = 0;
};

template <typename State, typename... Ts, size_t... Is>
std::vector<Disposable> subscribeAll(const std::shared_ptr<State>& state,
                                     const std::tuple<Observable<Ts>...>& sources,
                                     std::index_sequence<Is...>) {
    std::vector<Disposable> subscriptions;
    (subscriptions.push_back(std::get<Is>(sources).subscribe(Observer<Ts>{
         [state](const Ts& v) { state->template next<Is>(v); }, [state] { state->completed(); }})),
     ...);
    return subscriptions;
}

}  // namespace detail

// The latest of several streams: once every source has given a value, emits the combination
// of the latest values whenever any source emits. Completes when all sources have completed.
template <typename Combine, typename... Ts>
auto combineLatest(Combine combine, Observable<Ts>... sources) {
    using State = detail::CombineLatestState<Combine, Ts...>;
    using Result = typename State::Result;
    std::tuple<Observable<Ts>...> all(std::move(sources)...);
    return Observable<Result>::create([combine, all](Observer<Result> observer) {
        auto state = std::make_shared<State>(combine, std::move(observer));
        auto subscriptions = detail::subscribeAll(state, all, std::index_sequence_for<Ts...>{});
        return Disposable([subscriptions] {
            for (const Disposable& d : subscriptions) d.dispose();
        });
    });
}

}  // namespace wv::rx
