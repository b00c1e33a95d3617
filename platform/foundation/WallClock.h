#pragma once

#include <chrono>
#include <memory>

namespace wv {

// Where the calendar time comes from: event times, start times stored in files. Kept apart
// from the monotonic clock of the dispatch layer because these instants are written down
// and compared across runs. Tests install a FixedWallClock so the written times are known.
class WallClock {
  public:
    using TimePoint = std::chrono::system_clock::time_point;
    virtual ~WallClock() = default;
    virtual TimePoint now() const = 0;

    // The process-wide clock (the system's unless one was installed).
    static std::shared_ptr<WallClock> shared();
    // Replaces the shared clock; returns the previous one. nullptr restores the system's.
    static std::shared_ptr<WallClock> setShared(std::shared_ptr<WallClock> clock);
};

// The calendar time of the shared clock.
WallClock::TimePoint wallNow();

class SystemWallClock final : public WallClock {
  public:
    TimePoint now() const override { return std::chrono::system_clock::now(); }
};

class FixedWallClock final : public WallClock {
  public:
    explicit FixedWallClock(TimePoint at) : at_(at) {}
    TimePoint now() const override { return at_; }

  private:
    TimePoint at_;
};

// Installs a shared clock for the life of the object.
class ScopedWallClock {
  public:
    explicit ScopedWallClock(std::shared_ptr<WallClock> clock)
        : previous_(WallClock::setShared(std::move(clock))) {}
    ~ScopedWallClock() { WallClock::setShared(std::move(previous_)); }
    ScopedWallClock(const ScopedWallClock&) = delete;
    ScopedWallClock& operator=(const ScopedWallClock&) = delete;

  private:
    std::shared_ptr<WallClock> previous_;
};

}  // namespace wv
