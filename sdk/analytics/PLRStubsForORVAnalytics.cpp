#include "sdk/analytics/PLRStubsForORVAnalytics.h"

#include "platform/foundation/Log.h"

namespace wv {

void PLRStubsForORVAnalytics::logInternalEventWithOrigin(const std::string&, const std::string&,
                                                         const nlohmann::json&) {
    Log::print(kStubMessage);
}

}  // namespace wv
