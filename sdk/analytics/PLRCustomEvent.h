#pragma once

#include <optional>
#include <string>

#include "platform/plist/Value.h"
#include "sdk/analytics/PLRAttributeDictionary.h"
#include "sdk/analytics/PLREvent.h"

namespace wv {

// An event the application names itself. The caller's attributes are kept as given and
// checked afresh each time the payload is made. An event without a name is kept and
// stored without "custom_type".
class PLRCustomEvent : public PLREvent {
  public:
    PLRCustomEvent(std::optional<std::string> customEventName,
                   std::optional<plist::Dictionary> customAttributes);

    const std::optional<std::string>& customEventName() const { return customEventName_; }
    const std::optional<plist::Dictionary>& customAttributes() const { return customAttributes_; }
    void setCustomAttributes(std::optional<plist::Dictionary> attributes) {
        customAttributes_ = std::move(attributes);
    }
    PLRAttributeDictionary attributesDictionary() const;

    std::string name() const override { return "custom"; }
    nlohmann::ordered_json dictionaryRepresentation() const override;
    std::string description() const override;

  private:
    std::optional<std::string> customEventName_;
    std::optional<plist::Dictionary> customAttributes_;
};

}  // namespace wv
