#pragma once

// Orvelle Analytics, an outside library that the SDK never links. Where an application carries
// it, the library joins the run-time class registry under kClassName with a
// std::shared_ptr<const ORVAnalyticsClass>; the kits look it up by that name and use only the
// operations it offers (an empty function is one it does not offer).

#include <cstdint>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace wv {

// One parameter value of an Orvelle Analytics event: `valueType` says which of the three
// readings holds (kDouble, kInt64, kString); a library may use types the SDK does not know.
struct ORVAValue {
    static constexpr int64_t kDouble = 0;
    static constexpr int64_t kInt64 = 1;
    static constexpr int64_t kString = 2;

    int64_t valueType = kString;
    double doubleValue = 0;
    int64_t int64Value = 0;
    std::string stringValue;
};

// An event the application logged to Orvelle Analytics.
struct ORVAEvent {
    std::optional<std::string> name;
    std::map<std::string, ORVAValue> parameters;
};

using ORVALogEventListener = std::function<void(const ORVAEvent&)>;

struct ORVAnalyticsClass {
    static constexpr const char* kClassName = "ORVAnalytics";

    // Origin, event name and parameters (an object of texts and numbers).
    std::function<void(const std::string& origin, const std::string& name,
                       const nlohmann::json& parameters)>
        logInternalEventWithOrigin;
    // The listener may be called on any thread of the library's.
    std::function<void(ORVALogEventListener listener)> addLogEventListener;
};

}  // namespace wv
