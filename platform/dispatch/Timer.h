#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "platform/dispatch/MainQueue.h"

namespace wv {

// A timer on the main queue: fires once after its interval, or every interval until
// invalidated. While valid, the queue keeps it alive (the owner may hold it or not).
// A repeating timer keeps its rhythm from its first due time; a beat that was missed while the
// main thread was busy is skipped, not made up.
class Timer : public std::enable_shared_from_this<Timer> {
  public:
    using Callback = std::function<void(Timer&)>;

    static std::shared_ptr<Timer> scheduled(double interval, bool repeats, Callback callback);

    void invalidate();
    bool isValid() const { return valid_; }
    // A suspended timer stays valid but does not fire, and the loop does not wake up for it;
    // resume() starts its rhythm afresh, one interval from then.
    void suspend();
    void resume();
    bool isSuspended() const { return suspended_; }
    bool repeats() const { return repeats_; }
    double interval() const { return interval_; }
    double fireTime() const { return fireTime_; }

    // Fires now, out of rhythm (a one-shot timer is then spent).
    void fire();

    Timer(double interval, bool repeats, Callback callback);

  private:
    void schedule();
    void dropPending();
    void fireFromQueue(unsigned long generation);

    double interval_;
    bool repeats_;
    Callback callback_;
    bool valid_ = true;
    bool suspended_ = false;
    std::optional<MainQueue::Ticket> pending_;
    double fireTime_ = 0;
    unsigned long generation_ = 0;
};

}  // namespace wv
