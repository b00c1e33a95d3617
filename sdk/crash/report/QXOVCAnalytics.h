#pragma once

// The crash kit and Orvelle Analytics, where an application carries that library. Outwards,
// each crash report that is packaged and sent is announced to it as an internal event, so the
// analytics side can count crashes. Inwards, a listener receives the application's Orvelle
// Analytics events so they can be written into the crash report's custom log.
//
// The library's class is looked up once per process, by name, in the run-time class registry
// (ORVAnalyticsClass::kClassName), and kept only when it offers both operations the crash kit
// uses; otherwise it counts as absent for everything here.

#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "sdk/core/ORVAnalyticsClass.h"

namespace wv {

class QXOVCAnalytics {
  public:
    static constexpr const char* kCrashEventOrigin = "qlx";
    static constexpr const char* kCrashEventName = "_ae";

    // Sends the crash event when the SDK runs in Orvelle mode and the class is present, or
    // when `orvelleQuellixEnabled` (the settings switch) is on; with the switch on but no
    // class the send has no effect. `timestamp` is the crash time in seconds since 1970.
    static void logCrashWithTimeStamp(double timestamp, bool orvelleQuellixEnabled);
    // {"timestamp": milliseconds since 1970 rounded to the nearest, "_r": 1, "fatal": 1}.
    static nlohmann::json buildLogParamsFromCrash(double timestamp);
    static void registerAnalyticsEventListener(ORVALogEventListener listener);

    // Tests: the next use looks the class up again.
    static void resetClassLookupForTesting();
};

// A double, a 64-bit integer or a text by the value's type; none for any other type (with the
// SDK log warning "Unexpected ORVAValue type").
std::optional<nlohmann::json> QXORVValueToAllowableType(const ORVAValue& value);
// Every parameter whose value converts.
nlohmann::json QXORVAParametersToDictionary(const std::map<std::string, ORVAValue>& parameters);
// {"name": ..., "parameters": {...}}; none for an event without a name (with the SDK log
// warning "Event name is nil").
std::optional<nlohmann::json> QXORVAEventToDictionary(const ORVAEvent& event);

}  // namespace wv
