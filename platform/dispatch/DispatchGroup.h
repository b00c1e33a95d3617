#pragma once

#include <functional>
#include <memory>

namespace wv {

class Clock;
class GlobalQueue;
class MainQueue;
class SerialQueue;

// Counts blocks in flight: enter() before each, leave() after. Notify blocks run on their queue
// once the count is back at zero (at once if it is zero already); waits return then. Copies
// share one group, and a block may keep its copy after the caller's is gone.
class DispatchGroup {
public:
    using Block = std::function<void()>;

    DispatchGroup();

    void enter();
    // Leaving more often than entering is a logic error (std::logic_error).
    void leave();
    // enter(), the block on the queue, then leave().
    void async(GlobalQueue& queue, Block block);
    void async(SerialQueue& queue, Block block);

    // The queue must outlive the notification.
    void notify(MainQueue& queue, Block block);
    void notify(GlobalQueue& queue, Block block);
    void notify(SerialQueue& queue, Block block);

    void wait();
    // True when the count reached zero within `seconds` of real time.
    bool waitFor(double seconds);
    // The same, with the time read from `clock` (a ManualClock another thread advances); the
    // clock is looked at every millisecond.
    bool waitFor(double seconds, const Clock& clock);

    struct State;

private:
    void notifyWith(std::function<void(Block)> post, Block block);
    std::shared_ptr<State> state_;
};

}  // namespace wv
