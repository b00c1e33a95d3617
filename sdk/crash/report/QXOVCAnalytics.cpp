#include "sdk/crash/report/QXOVCAnalytics.h"

#include <any>
#include <cmath>
#include <limits>
#include <memory>
#include <mutex>

#include "platform/foundation/ClassRegistry.h"
#include "platform/foundation/Log.h"
#include "sdk/core/Tarnel.h"
#include "sdk/crash/context/QXSDKLog.h"

namespace wv {

namespace {

struct Lookup {
    std::mutex mutex;
    bool done = false;
    std::shared_ptr<const ORVAnalyticsClass> analytics;
};

Lookup& lookup() {
    static Lookup instance;
    return instance;
}

std::shared_ptr<const ORVAnalyticsClass> orvelleAnalytics() {
    Lookup& l = lookup();
    std::lock_guard lock(l.mutex);
    if (!l.done) {
        l.done = true;
        const std::any cls = ClassRegistry::shared().classNamed(ORVAnalyticsClass::kClassName);
        if (const auto* analytics = std::any_cast<std::shared_ptr<const ORVAnalyticsClass>>(&cls);
            analytics && *analytics && (*analytics)->logInternalEventWithOrigin &&
            (*analytics)->addLogEventListener) {
            l.analytics = *analytics;
        }
    }
    return l.analytics;
}

void debugLog(const std::string& line) {
    if (Tarnel::sharedSDK().debug()) Log::system(line);
}

// A crash time that is no number, or lies beyond what 64 bits of milliseconds hold, must not
// reach the conversion (undefined there); it is sent as the nearest value that can be held.
int64_t millisecondsSince1970(double seconds) {
    const double ms = std::round(seconds * 1000);
    if (std::isnan(ms)) return 0;
    if (ms >= 9.2233720368547758e18) return std::numeric_limits<int64_t>::max();
    if (ms <= -9.2233720368547758e18) return std::numeric_limits<int64_t>::min();
    return int64_t(ms);
}

}  // namespace

void QXOVCAnalytics::logCrashWithTimeStamp(double timestamp, bool orvelleQuellixEnabled) {
    const auto analytics = orvelleAnalytics();
    if (!((Tarnel::sharedSDK().orvelleMode() && analytics) || orvelleQuellixEnabled)) return;
    debugLog("[Quellix:Crash:Reports:Event] Sending event.");
    if (!analytics) return;
    analytics->logInternalEventWithOrigin(kCrashEventOrigin, kCrashEventName,
                                          buildLogParamsFromCrash(timestamp));
}

nlohmann::json QXOVCAnalytics::buildLogParamsFromCrash(double timestamp) {
    return {{"timestamp", millisecondsSince1970(timestamp)},
            {"_r", int64_t(1)},
            {"fatal", int64_t(1)}};
}

void QXOVCAnalytics::registerAnalyticsEventListener(ORVALogEventListener listener) {
    const auto analytics = orvelleAnalytics();
    if (!analytics) return;
    analytics->addLogEventListener(std::move(listener));
    debugLog("[Quellix:Crash:Reports:Event] Registered Orvelle Analytics event listener");
}

void QXOVCAnalytics::resetClassLookupForTesting() {
    Lookup& l = lookup();
    std::lock_guard lock(l.mutex);
    l.done = false;
    l.analytics.reset();
}

std::optional<nlohmann::json> QXORVValueToAllowableType(const ORVAValue& value) {
    switch (value.valueType) {
        case ORVAValue::kDouble:
            return nlohmann::json(value.doubleValue);
        case ORVAValue::kInt64:
            return nlohmann::json(value.int64Value);
        case ORVAValue::kString:
            return nlohmann::json(value.stringValue);
        default:
            QXLogWarn("Unexpected ORVAValue type");
            return std::nullopt;
    }
}

nlohmann::json QXORVAParametersToDictionary(const std::map<std::string, ORVAValue>& parameters) {
    nlohmann::json dictionary = nlohmann::json::object();
    for (const auto& [key, value] : parameters) {
        if (auto converted = QXORVValueToAllowableType(value)) dictionary[key] = *converted;
    }
    return dictionary;
}

std::optional<nlohmann::json> QXORVAEventToDictionary(const ORVAEvent& event) {
    if (!event.name) {
        QXLogWarn("Event name is nil");
        return std::nullopt;
    }
    return nlohmann::json{{"name", *event.name},
                          {"parameters", QXORVAParametersToDictionary(event.parameters)}};
}

}  // namespace wv
