#pragma once

#include <cstdint>
#include <functional>

namespace wv {

// The wait before each retry of one upload: max(2, initialValue)^n seconds for the n-th
// retry, capped at max(initialValue, 1024) seconds, times a random factor in [1 - c, 1 + c).
// The block runs once on the main queue when the wait is over (timed on Clock::current()).
// The random source is seeded once per process, so two processes that start together do
// not retry in step.
//
// Not thread-safe: the retry handler uses it from the event queue only.
class PLRBackoffTimer {
  public:
    using Block = std::function<void()>;
    static constexpr double kDefaultJitterCoefficient = double(0.1f);
    static constexpr double kMaximumDelay = 1024.0;

    PLRBackoffTimer() : PLRBackoffTimer(0.0) {}
    explicit PLRBackoffTimer(double initialValue)
        : PLRBackoffTimer(initialValue, kDefaultJitterCoefficient) {}
    // A coefficient outside [0, 1) is a caller's error: std::invalid_argument with
    // "Invalid parameter not satisfying: [PLRBackoffTimer
    // jitterCoefficientIsValid:jitterCoefficient]".
    PLRBackoffTimer(double initialValue, double jitterCoefficient);

    static bool jitterCoefficientIsValid(double coefficient);

    uint64_t retryCount() const { return retryCount_; }
    double initialValue() const { return initialValue_; }
    double jitterCoefficient() const { return jitterCoefficient_; }

    // Counts the retry and schedules the block; returns the delay chosen, in seconds.
    double executeBlockAfterNextInterval(Block block);
    // Without jitter.
    static double computeDelayForInitialValue(double initialValue, uint64_t retryCount);
    double generateRandomJitter() const;
    static double randomDoubleWithMin(double min, double max);

  private:
    uint64_t retryCount_ = 0;
    double initialValue_;
    double jitterCoefficient_;
};

}  // namespace wv
