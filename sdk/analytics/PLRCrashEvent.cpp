#include "sdk/analytics/PLRCrashEvent.h"

namespace wv {

PLRCrashEvent::PLRCrashEvent(WallClock::TimePoint crashTimestamp, uint64_t crashState)
    : crashTimestamp_(crashTimestamp), crashState_(crashState) {}

std::string PLRCrashEvent::payloadStringForCrashState(uint64_t state) {
    switch (state) {
        case 1:
            return "foreground";
        case 2:
            return "background";
        default:
            return "unknown";
    }
}

nlohmann::ordered_json PLRCrashEvent::dictionaryRepresentation() const {
    nlohmann::ordered_json payload = nlohmann::ordered_json::object();
    payload["eventId"] = identifier();
    payload["crash_state"] = payloadStringForCrashState(crashState_);
    return payload;
}

}  // namespace wv
