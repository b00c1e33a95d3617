#pragma once

#include <cstdint>
#include <string>

#include "sdk/analytics/PLREvent.h"

namespace wv {

// A crash of the previous run. Its time is the crash's, not the moment it was recorded.
class PLRCrashEvent : public PLREvent {
  public:
    PLRCrashEvent(WallClock::TimePoint crashTimestamp, uint64_t crashState);

    WallClock::TimePoint crashTimestamp() const { return crashTimestamp_; }
    void setCrashTimestamp(WallClock::TimePoint at) { crashTimestamp_ = at; }
    uint64_t crashState() const { return crashState_; }
    void setCrashState(uint64_t state) { crashState_ = state; }

    // 1 "foreground", 2 "background", anything else "unknown".
    static std::string payloadStringForCrashState(uint64_t state);

    WallClock::TimePoint timestamp() const override { return crashTimestamp_; }
    std::string name() const override { return "app_crashed"; }
    nlohmann::ordered_json dictionaryRepresentation() const override;

  private:
    WallClock::TimePoint crashTimestamp_;
    uint64_t crashState_;
};

}  // namespace wv
