#include "platform/dispatch/Timer.h"

#include <cmath>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/MainQueue.h"

namespace wv {

namespace {
// A zero or negative interval would make a repeating timer spin the main thread.
constexpr double kMinimumInterval = 0.0001;
}  // namespace

Timer::Timer(double interval, bool repeats, Callback callback)
    : interval_(interval > kMinimumInterval ? interval : kMinimumInterval),
      repeats_(repeats),
      callback_(std::move(callback)) {}

std::shared_ptr<Timer> Timer::scheduled(double interval, bool repeats, Callback callback) {
    auto timer = std::make_shared<Timer>(interval, repeats, std::move(callback));
    timer->fireTime_ = Clock::current().now() + timer->interval_;
    timer->schedule();
    return timer;
}

void Timer::schedule() {
    const unsigned long generation = ++generation_;
    auto self = shared_from_this();
    pending_ = MainQueue::shared().asyncAt(fireTime_,
                                           [self, generation] { self->fireFromQueue(generation); });
}

void Timer::dropPending() {
    ++generation_;
    // The block holds the timer; it is destroyed here, after the caller's own reference.
    if (pending_) MainQueue::shared().cancel(*pending_);
    pending_.reset();
}

void Timer::fireFromQueue(unsigned long generation) {
    if (!valid_ || generation != generation_) return;
    pending_.reset();
    if (repeats_) {
        const double now = Clock::current().now();
        fireTime_ += interval_;
        if (fireTime_ <= now)
            fireTime_ += std::ceil((now - fireTime_) / interval_ + 1e-9) * interval_;
        schedule();
    } else {
        valid_ = false;
    }
    auto keep = shared_from_this();  // the callback may drop the owner's reference
    auto callback = callback_;       // and may invalidate, which clears callback_
    if (callback) callback(*this);
}

void Timer::fire() {
    if (!valid_) return;
    if (!repeats_) {
        valid_ = false;
        dropPending();
    }
    auto keep = shared_from_this();
    auto callback = callback_;
    if (callback) callback(*this);
}

void Timer::invalidate() {
    valid_ = false;
    auto keep = weak_from_this().lock();
    dropPending();
    callback_ = nullptr;  // lets go of whatever the callback captured, as the run loop would
}

void Timer::suspend() {
    if (!valid_ || suspended_) return;
    suspended_ = true;
    auto keep = weak_from_this().lock();
    dropPending();
}

void Timer::resume() {
    if (!valid_ || !suspended_) return;
    suspended_ = false;
    fireTime_ = Clock::current().now() + interval_;
    schedule();
}

}  // namespace wv
