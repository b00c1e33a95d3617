#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace wv {

// Declares the one Orvelle Analytics call the kit makes, so the kit builds without that outside
// library. Never a target of forwarding: the bridge sends only to the class the application
// linked under "ORVAnalytics".
class PLRStubsForORVAnalytics {
  public:
    static constexpr const char* kStubMessage = "Stub only. Do not use.";

    static void logInternalEventWithOrigin(const std::string& origin, const std::string& name,
                                           const nlohmann::json& parameters);
};

}  // namespace wv
