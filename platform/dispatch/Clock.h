#pragma once

#include <atomic>

namespace wv {

// Where "now" comes from for the main queue, timers and animations: seconds on a monotonic
// scale whose origin means nothing. Tests install a ManualClock so time moves only when
// they say so.
class Clock {
public:
    virtual ~Clock() = default;
    virtual double now() const = 0;

    // The process-wide clock (a SystemClock unless one was installed).
    static Clock& current();
    // Installs `clock` (not owned; nullptr restores the system clock); returns the previous one.
    static Clock* setCurrent(Clock* clock);
};

class SystemClock final : public Clock {
public:
    double now() const override;
};

class ManualClock final : public Clock {
public:
    explicit ManualClock(double start = 1000.0) : now_(start) {}
    double now() const override { return now_.load(); }
    void set(double seconds) { now_.store(seconds); }
    void advance(double seconds) { now_.store(now_.load() + seconds); }

private:
    // Atomic because a timed wait or a handler on another thread reads it while a test moves it.
    std::atomic<double> now_;
};

// Installs a clock for the lifetime of the object.
class ScopedClock {
public:
    explicit ScopedClock(Clock& clock) : previous_(Clock::setCurrent(&clock)) {}
    ~ScopedClock() { Clock::setCurrent(previous_); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

private:
    Clock* previous_;
};

}  // namespace wv
