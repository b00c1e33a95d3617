#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Decimal.h"
#include "platform/plist/Value.h"
#include "sdk/analytics/PLRAttributeDictionary.h"
#include "sdk/analytics/PLREvent.h"

namespace wv {

// An event of one of the kit's typed kinds. The type travels in the payload; the log line's
// name is always "predefined". Each factory files its typed arguments under fixed keys, in a
// fixed order, apart from the caller's own attributes; a missing argument is left out.
class PLRPredefinedEvent : public PLREvent {
  public:
    using Arg = std::optional<plist::Value>;
    using Price = std::optional<Decimal>;
    using Attributes = std::optional<plist::Dictionary>;
    using Ptr = std::shared_ptr<PLRPredefinedEvent>;

    static Ptr signUpEventWithMethod(Arg method, Arg success, Attributes custom);
    static Ptr loginEventWithMethod(Arg method, Arg success, Attributes custom);
    static Ptr shareEventWithMethod(Arg method, Arg contentName, Arg contentType, Arg contentId,
                                    Attributes custom);
    static Ptr inviteEventWithMethod(Arg method, Attributes custom);
    static Ptr purchaseEventWithPrice(Price price, Arg currency, Arg success, Arg itemName,
                                      Arg itemType, Arg itemId, Attributes custom);
    static Ptr levelStartEventWithLevelName(Arg levelName, Attributes custom);
    static Ptr levelEndEventWithLevelName(Arg levelName, Arg score, Arg success, Attributes custom);
    static Ptr addToCartEventWithPrice(Price price, Arg currency, Arg itemName, Arg itemType,
                                       Arg itemId, Attributes custom);
    static Ptr startCheckoutEventWithPrice(Price totalPrice, Arg currency, Arg itemCount,
                                           Attributes custom);
    static Ptr ratingEventWithRating(Arg rating, Arg contentName, Arg contentType, Arg contentId,
                                     Attributes custom);
    static Ptr contentViewEventWithName(Arg contentName, Arg contentType, Arg contentId,
                                        Attributes custom);
    static Ptr searchEventWithQuery(Arg query, Attributes custom);

    const std::string& predefinedEventName() const { return predefinedEventName_; }
    const PLRAttributeDictionary& predefinedAttributes() const { return predefinedAttributes_; }
    const PLRAttributeDictionary& customAttributes() const { return customAttributes_; }

    std::string name() const override { return "predefined"; }
    nlohmann::ordered_json dictionaryRepresentation() const override;
    std::string description() const override;

  private:
    PLRPredefinedEvent(std::string type, const Attributes& custom);

    std::string predefinedEventName_;
    PLRAttributeDictionary predefinedAttributes_;
    PLRAttributeDictionary customAttributes_;
};

}  // namespace wv
