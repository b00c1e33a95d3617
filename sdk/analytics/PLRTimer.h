#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "platform/dispatch/OperationQueue.h"
#include "platform/dispatch/TimerSource.h"

namespace wv {

// Adds a block to an operation queue every `timeInterval` seconds, the first time one
// interval after construction, with a tenth of the interval as leeway. The beat comes from a
// timer on the global pool (timed on Clock::current()); it only enqueues, so the block runs
// serialised with the rest of the queue's work. Once the timer is destroyed no further block
// is added, and one already added but not yet started does nothing.
class PLRTimer {
  public:
    using Block = std::function<void()>;
    static constexpr const char* kActivityIdentifierFormat = "io.plurio.TimerActivity.";

    PLRTimer(double timeInterval, std::shared_ptr<OperationQueue> queue,
             std::string timerIdentifier, Block block);
    ~PLRTimer();
    PLRTimer(const PLRTimer&) = delete;
    PLRTimer& operator=(const PLRTimer&) = delete;

    const std::string& timerIdentifier() const { return timerIdentifier_; }
    double timeInterval() const { return timeInterval_; }
    double tolerance() const { return timeInterval_ / 10.0; }
    const TimerSource* timerSource() const { return timerSource_.get(); }

    void executeBlock();

  private:
    void scheduleTimer();
    void scheduleDispatchTimer();

    double timeInterval_;
    std::shared_ptr<OperationQueue> queue_;
    std::string timerIdentifier_;
    Block timerBlock_;
    std::shared_ptr<std::atomic<bool>> alive_;
    std::unique_ptr<TimerSource> timerSource_;
};

}  // namespace wv
