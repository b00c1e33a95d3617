#include "sdk/analytics/PLREventFilter.h"

#include <set>

#include "platform/foundation/Text.h"
#include "sdk/analytics/PLREvent.h"

namespace wv {

bool PLREventFilter::shouldDiscardEvent(const PLREvent* event,
                                        const std::optional<std::string>& betaToken,
                                        const std::optional<std::string>& installationID,
                                        int64_t factor) {
    if (!event) return true;
    if (betaToken) return false;
    if (!samplingEnabledForEventType(event->name())) return false;
    return shouldDiscardEventWithInstallationID(installationID, factor);
}

bool PLREventFilter::samplingEnabledForEventType(std::string_view name) {
    static const std::set<std::string, std::less<>> sampled = {
        "app_launched",        "app_terminated",         "app_crashed",
        "app_memory_warning",  "app_entered_background", "app_entered_foreground",
        "app_became_inactive", "app_became_active",
    };
    return sampled.count(name) != 0;
}

bool PLREventFilter::shouldDiscardEventWithInstallationID(const std::optional<std::string>& id,
                                                          int64_t factor) {
    if (!id || factor < 2) return false;
    const int64_t h = javaHashCodeForString(*id);
    return h % factor != 0;
}

int32_t PLREventFilter::javaHashCodeForString(std::string_view utf8) {
    uint32_t h = 0;
    for (char16_t unit : text::toUtf16(utf8)) h = 31u * h + uint32_t(unit);
    return int32_t(h);
}

}  // namespace wv
