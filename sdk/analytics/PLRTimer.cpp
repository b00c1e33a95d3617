#include "sdk/analytics/PLRTimer.h"

#include <cmath>

#include "platform/dispatch/GlobalQueue.h"

namespace wv {

PLRTimer::PLRTimer(double timeInterval, std::shared_ptr<OperationQueue> queue,
                   std::string timerIdentifier, Block block)
    : timeInterval_(timeInterval),
      queue_(std::move(queue)),
      timerIdentifier_(std::move(timerIdentifier)),
      timerBlock_(std::move(block)),
      alive_(std::make_shared<std::atomic<bool>>(true)) {
    scheduleTimer();
}

PLRTimer::~PLRTimer() {
    alive_->store(false);
    // Returns only when no beat is running, so no beat can reach a destroyed timer.
    timerSource_.reset();
}

// Linux has no system scheduler for background activities: the dispatch timer is the only path.
void PLRTimer::scheduleTimer() { scheduleDispatchTimer(); }

void PLRTimer::scheduleDispatchTimer() {
    const auto nanoseconds = [](double s) { return std::trunc(s * 1e9) / 1e9; };
    timerSource_ =
        std::make_unique<TimerSource>(GlobalQueue::shared(), nanoseconds(timeInterval_),
                                      nanoseconds(tolerance()), [this] { executeBlock(); });
}

void PLRTimer::executeBlock() {
    if (!queue_ || !timerBlock_) return;
    queue_->addOperation([alive = alive_, block = timerBlock_] {
        if (alive->load()) block();
    });
}

}  // namespace wv
