#include "sdk/analytics/PLRCustomEvent.h"

#include "platform/foundation/Text.h"

namespace wv {

PLRCustomEvent::PLRCustomEvent(std::optional<std::string> customEventName,
                               std::optional<plist::Dictionary> customAttributes)
    : customEventName_(std::move(customEventName)),
      customAttributes_(std::move(customAttributes)) {}

PLRAttributeDictionary PLRCustomEvent::attributesDictionary() const {
    return PLRAttributeDictionary(customAttributes_);
}

nlohmann::ordered_json PLRCustomEvent::dictionaryRepresentation() const {
    nlohmann::ordered_json payload = nlohmann::ordered_json::object();
    payload["eventId"] = identifier();
    // The name does not pass the attribute gate: repaired here so the line always encodes.
    if (customEventName_)
        payload["custom_type"] = text::fromUtf16(text::toUtf16(*customEventName_));
    payload["custom_attributes"] = attributesDictionary().json();
    return payload;
}

std::string PLRCustomEvent::description() const {
    return "<PLRCustomEvent: " + customEventName_.value_or("(null)") + "\n" +
           attributesDictionary().description() + ">";
}

}  // namespace wv
