#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "platform/foundation/WallClock.h"

namespace wv {

// One record of the analytics kit: a time, a new identifier and a payload. The event log
// stores exactly timestamp(), name() and the JSON of dictionaryRepresentation(); payload keys
// come out in the order they are set.
//
// An event is built on the caller's thread and then only read, so it is safe to hand to
// the event queue; the mutable attributes of a custom event are the exception (set them
// before the event is queued).
class PLREvent {
  public:
    PLREvent();
    virtual ~PLREvent() = default;

    virtual WallClock::TimePoint timestamp() const { return timestamp_; }
    const std::string& identifier() const { return identifier_; }
    virtual std::string name() const { return "unknown"; }
    virtual nlohmann::ordered_json dictionaryRepresentation() const {
        return nlohmann::ordered_json::object();
    }
    virtual bool triggersFlush() const { return false; }
    virtual std::string description() const;

  private:
    WallClock::TimePoint timestamp_;
    std::string identifier_;
};

}  // namespace wv
