#include "sdk/analytics/PLRPredefinedEvent.h"

namespace wv {

PLRPredefinedEvent::PLRPredefinedEvent(std::string type, const Attributes& custom)
    : predefinedEventName_(std::move(type)), customAttributes_(custom) {}

using Ptr = PLRPredefinedEvent::Ptr;

Ptr PLRPredefinedEvent::signUpEventWithMethod(Arg method, Arg success, Attributes custom) {
    Ptr e(new PLRPredefinedEvent("sign_up", custom));
    e->predefinedAttributes_.addAttribute(method, "method");
    e->predefinedAttributes_.addBooleanAttribute(success, "success");
    return e;
}

Ptr PLRPredefinedEvent::loginEventWithMethod(Arg method, Arg success, Attributes custom) {
    Ptr e(new PLRPredefinedEvent("login", custom));
    e->predefinedAttributes_.addAttribute(method, "method");
    e->predefinedAttributes_.addBooleanAttribute(success, "success");
    return e;
}

Ptr PLRPredefinedEvent::shareEventWithMethod(Arg method, Arg contentName, Arg contentType,
                                             Arg contentId, Attributes custom) {
    Ptr e(new PLRPredefinedEvent("share", custom));
    auto& a = e->predefinedAttributes_;
    a.addAttribute(method, "method");
    a.addAttribute(contentName, "content_name");
    a.addAttribute(contentType, "content_type");
    a.addAttribute(contentId, "content_id");
    return e;
}

Ptr PLRPredefinedEvent::inviteEventWithMethod(Arg method, Attributes custom) {
    Ptr e(new PLRPredefinedEvent("invite", custom));
    e->predefinedAttributes_.addAttribute(method, "method");
    return e;
}

Ptr PLRPredefinedEvent::purchaseEventWithPrice(Price price, Arg currency, Arg success, Arg itemName,
                                               Arg itemType, Arg itemId, Attributes custom) {
    Ptr e(new PLRPredefinedEvent("purchase", custom));
    auto& a = e->predefinedAttributes_;
    a.addPriceAttribute(price, "item_price");
    a.addAttribute(currency, "currency");
    a.addBooleanAttribute(success, "success");
    a.addAttribute(itemName, "item_name");
    a.addAttribute(itemType, "item_type");
    a.addAttribute(itemId, "item_id");
    return e;
}

Ptr PLRPredefinedEvent::levelStartEventWithLevelName(Arg levelName, Attributes custom) {
    Ptr e(new PLRPredefinedEvent("level_start", custom));
    e->predefinedAttributes_.addAttribute(levelName, "level_name");
    return e;
}

Ptr PLRPredefinedEvent::levelEndEventWithLevelName(Arg levelName, Arg score, Arg success,
                                                   Attributes custom) {
    Ptr e(new PLRPredefinedEvent("level_end", custom));
    auto& a = e->predefinedAttributes_;
    a.addAttribute(levelName, "level_name");
    a.addAttribute(score, "score");
    a.addBooleanAttribute(success, "success");
    return e;
}

Ptr PLRPredefinedEvent::addToCartEventWithPrice(Price price, Arg currency, Arg itemName,
                                                Arg itemType, Arg itemId, Attributes custom) {
    Ptr e(new PLRPredefinedEvent("add_to_cart", custom));
    auto& a = e->predefinedAttributes_;
    a.addPriceAttribute(price, "item_price");
    a.addAttribute(currency, "currency");
    a.addAttribute(itemName, "item_name");
    a.addAttribute(itemType, "item_type");
    a.addAttribute(itemId, "item_id");
    return e;
}

Ptr PLRPredefinedEvent::startCheckoutEventWithPrice(Price totalPrice, Arg currency, Arg itemCount,
                                                    Attributes custom) {
    Ptr e(new PLRPredefinedEvent("start_checkout", custom));
    auto& a = e->predefinedAttributes_;
    a.addPriceAttribute(totalPrice, "total_price");
    a.addAttribute(currency, "currency");
    a.addAttribute(itemCount, "item_count");
    return e;
}

Ptr PLRPredefinedEvent::ratingEventWithRating(Arg rating, Arg contentName, Arg contentType,
                                              Arg contentId, Attributes custom) {
    Ptr e(new PLRPredefinedEvent("rating", custom));
    auto& a = e->predefinedAttributes_;
    a.addAttribute(rating, "rating");
    a.addAttribute(contentName, "content_name");
    a.addAttribute(contentType, "content_type");
    a.addAttribute(contentId, "content_id");
    return e;
}

Ptr PLRPredefinedEvent::contentViewEventWithName(Arg contentName, Arg contentType, Arg contentId,
                                                 Attributes custom) {
    Ptr e(new PLRPredefinedEvent("content_view", custom));
    auto& a = e->predefinedAttributes_;
    a.addAttribute(contentName, "content_name");
    a.addAttribute(contentType, "content_type");
    a.addAttribute(contentId, "content_id");
    return e;
}

Ptr PLRPredefinedEvent::searchEventWithQuery(Arg query, Attributes custom) {
    Ptr e(new PLRPredefinedEvent("search", custom));
    e->predefinedAttributes_.addAttribute(query, "query");
    return e;
}

nlohmann::ordered_json PLRPredefinedEvent::dictionaryRepresentation() const {
    nlohmann::ordered_json payload = nlohmann::ordered_json::object();
    payload["eventId"] = identifier();
    payload["predefined_type"] = predefinedEventName_;
    payload["custom_attributes"] = customAttributes_.json();
    payload["predefined_attributes"] = predefinedAttributes_.json();
    return payload;
}

std::string PLRPredefinedEvent::description() const {
    return "<PLRPredefinedEvent: " + predefinedEventName_ + "\n" +
           predefinedAttributes_.description() + "\n" + customAttributes_.description() + ">";
}

}  // namespace wv
