#pragma once

#include <functional>
#include <memory>

namespace wv::rx {

class DisposeBag;

// A handle on a subscription (or anything else that can be ended). Copies share one state, so
// any copy may end it. Dropping the handle does not end the subscription: that is what
// `dispose()` or a dispose bag is for.
class Disposable {
public:
    Disposable();  // nothing to end
    explicit Disposable(std::function<void()> action);

    // Runs the action once, on the first call from any copy; later calls do nothing.
    void dispose() const;
    bool isDisposed() const;
    // Hands the subscription to `bag`, which ends it when it is emptied or destroyed.
    void disposed(DisposeBag& bag) const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

}  // namespace wv::rx
