#include "sdk/analytics/PLROrvelleAnalyticsBridge.h"

#include <unicode/uchar.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <cmath>

#include "platform/foundation/ClassRegistry.h"
#include "sdk/analytics/PLRCustomEvent.h"
#include "sdk/analytics/PLRLogger.h"
#include "sdk/analytics/PLRPredefinedEvent.h"
#include "sdk/core/ORVAnalyticsClass.h"

namespace wv {
namespace {

using json = nlohmann::json;
using KeyMapping = std::map<std::string, std::string>;

const std::map<std::string, std::string>& eventNameTable() {
    static const std::map<std::string, std::string> table = {
        {"content_view", "select_content"}, {"share", "share"},
        {"sign_up", "sign_up"},             {"login", "login"},
        {"search", "search"},               {"purchase", "ecommerce_purchase"},
        {"add_to_cart", "add_to_cart"},     {"start_checkout", "begin_checkout"},
        {"level_start", "level_start"},     {"level_end", "level_end"},
        {"invite", "invite"},               {"rating", "rate_content"},
    };
    return table;
}

const std::map<std::string, KeyMapping>& keyMappingTable() {
    static const std::map<std::string, KeyMapping> table = {
        {"select_content",
         {{"content_type", "content_type"}, {"content_id", "item_id"},
          {"content_name", "item_name"}}},
        {"share",
         {{"content_type", "content_type"}, {"content_id", "item_id"},
          {"content_name", "item_name"}, {"method", "method"}}},
        {"sign_up", {{"method", "method"}, {"success", "success"}}},
        {"login", {{"method", "method"}, {"success", "success"}}},
        {"search", {{"query", "search_term"}}},
        {"ecommerce_purchase",
         {{"currency", "currency"}, {"item_price", "value"}, {"success", "success"},
          {"item_type", "item_category"}, {"item_id", "item_id"}, {"item_name", "item_name"}}},
        {"add_to_cart",
         {{"item_type", "item_category"}, {"item_id", "item_id"}, {"item_name", "item_name"},
          {"item_price", "price"}, {"currency", "currency"}}},
        {"begin_checkout",
         {{"currency", "currency"}, {"total_price", "value"}, {"item_count", "quantity"}}},
        {"rate_content",
         {{"rating", "rating"}, {"content_type", "content_type"}, {"content_id", "item_id"},
          {"content_name", "item_name"}}},
        {"level_start", {{"level_name", "level_name"}}},
        {"level_end", {{"level_name", "level_name"}, {"score", "score"}, {"success", "success"}}},
        {"invite", {{"method", "method"}}},
    };
    return table;
}

// Text stays text and numbers numbers (a boolean as 1 or 0); other kinds have no Orvelle form.
std::optional<json> parameterValue(const plist::Value& value) {
    if (auto* s = value.get<std::string>()) return json(*s);
    if (auto* i = value.get<int64_t>()) return json(*i);
    if (auto* d = value.get<double>()) return json(*d);
    if (auto* b = value.get<bool>()) return json(*b ? 1 : 0);
    return std::nullopt;
}

std::optional<double> numberValue(const plist::Value& value) {
    if (auto* i = value.get<int64_t>()) return double(*i);
    if (auto* d = value.get<double>()) return *d;
    return std::nullopt;
}

bool readsAsFalse(const plist::Value& value) {
    if (auto* s = value.get<std::string>()) return *s != "true";
    if (auto* b = value.get<bool>()) return !*b;
    if (auto n = numberValue(value)) return *n == 0;
    return false;
}

// The name's code points; a byte that is no part of valid UTF-8 reads as U+FFFD.
std::vector<UChar32> codePoints(const std::string& text) {
    std::vector<UChar32> out;
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    const int32_t length = int32_t(text.size());
    for (int32_t i = 0; i < length;) {
        UChar32 c;
        U8_NEXT(s, i, length, c);
        out.push_back(c < 0 ? 0xFFFD : c);
    }
    return out;
}

std::string utf8(const std::vector<UChar32>& points) {
    std::string out;
    for (UChar32 c : points) {
        uint8_t buffer[U8_MAX_LENGTH];
        int32_t n = 0;
        UBool error = false;
        U8_APPEND(buffer, n, U8_MAX_LENGTH, c, error);
        if (!error) out.append(reinterpret_cast<const char*>(buffer), size_t(n));
    }
    return out;
}

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// The first `limit` UTF-16 units, never half a surrogate pair.
std::string cutToLength(const std::string& name, size_t limit) {
    std::vector<UChar32> kept;
    size_t units = 0;
    for (UChar32 c : codePoints(name)) {
        const size_t width = size_t(U16_LENGTH(c));
        if (units + width > limit) break;
        units += width;
        kept.push_back(c);
    }
    return utf8(kept);
}

std::string sanitizedWithLimit(const std::string& name) {
    std::string sanitized = PLROrvelleAnalyticsBridge::sanitizeKeyName(name);
    return cutToLength(sanitized, PLROrvelleAnalyticsBridge::kMaximumNameLength);
}

}  // namespace

PLROrvelleAnalyticsBridge::PLROrvelleAnalyticsBridge()
    : PLROrvelleAnalyticsBridge([]() -> std::shared_ptr<const ORVAnalyticsClass> {
          const std::any found = ClassRegistry::shared().classNamed(ORVAnalyticsClass::kClassName);
          if (auto* c = std::any_cast<std::shared_ptr<const ORVAnalyticsClass>>(&found)) return *c;
          return nullptr;
      }()) {}

PLROrvelleAnalyticsBridge::PLROrvelleAnalyticsBridge(
    std::shared_ptr<const ORVAnalyticsClass> orvelleAnalytics) {
    if (orvelleAnalytics && orvelleAnalytics->logInternalEventWithOrigin)
        orvelleAnalytics_ = std::move(orvelleAnalytics);
}

void PLROrvelleAnalyticsBridge::logEvent(const PLREvent& event) const {
    if (!orvelleAnalytics_) return;
    if (auto* custom = dynamic_cast<const PLRCustomEvent*>(&event)) {
        logCustomEvent(*custom);
    } else if (auto* predefined = dynamic_cast<const PLRPredefinedEvent*>(&event)) {
        logPredefinedEvent(*predefined);
    }
}

void PLROrvelleAnalyticsBridge::logCustomEvent(const PLRCustomEvent& event) const {
    if (!orvelleAnalytics_) return;
    const std::string name = sanitizeEventName(event.customEventName());
    const json parameters = customParametersFromCustomAttributes(event.customAttributes());
    PLRLogger::sharedLogger().log("Logging custom event to Orvelle. <" + name + "\n" +
                                  parameters.dump() + ">");
    send(name, parameters);
}

void PLROrvelleAnalyticsBridge::logPredefinedEvent(const PLRPredefinedEvent& event) const {
    if (!orvelleAnalytics_) return;
    const plist::Dictionary& predefined = event.predefinedAttributes().dictionaryRepresentation();
    const plist::Dictionary& custom = event.customAttributes().dictionaryRepresentation();
    const auto name = orvelleEventNameForPlurioEventName(event.predefinedEventName(), predefined);
    if (!name) return;  // no Orvelle event stands for it
    const json parameters = orvelleEventParametersForPredefinedAttributes(predefined, custom, *name);
    PLRLogger::sharedLogger().log("Logging predefined event to Orvelle. <" + *name + "\n" +
                                  parameters.dump() + ">");
    logPredefinedEventToOrvelleWithEventName(*name, parameters);
}

void PLROrvelleAnalyticsBridge::logPredefinedEventToOrvelleWithEventName(
    const std::string& name, const json& parameters) const {
    send(name, parameters);
    if (name == "level_end") send("post_score", parameters);
}

void PLROrvelleAnalyticsBridge::send(const std::string& name, const json& parameters) const {
    if (orvelleAnalytics_) orvelleAnalytics_->logInternalEventWithOrigin(kOrigin, name, parameters);
}

std::optional<std::string> PLROrvelleAnalyticsBridge::orvelleEventNameForPlurioEventName(
    const std::string& plurioName, const plist::Dictionary& predefinedAttributes) {
    const auto& table = eventNameTable();
    const auto found = table.find(plurioName);
    if (found == table.end()) return std::nullopt;
    if (shouldUseFailedEventName(found->second, predefinedAttributes))
        return failedEventName(found->second);
    return found->second;
}

bool PLROrvelleAnalyticsBridge::shouldUseFailedEventName(
    const std::string& orvelleName, const plist::Dictionary& predefinedAttributes) {
    if (!isFailableEvent(orvelleName)) return false;
    const plist::Value* success = predefinedAttributes.find("success");
    return success && readsAsFalse(*success);
}

std::string PLROrvelleAnalyticsBridge::failedEventName(const std::string& orvelleName) {
    return "failed_" + orvelleName;
}

bool PLROrvelleAnalyticsBridge::isFailableEvent(const std::string& orvelleName) {
    return orvelleName == "ecommerce_purchase" || orvelleName == "login" ||
           orvelleName == "sign_up";
}

json PLROrvelleAnalyticsBridge::orvelleEventParametersForPredefinedAttributes(
    const plist::Dictionary& predefinedAttributes, const plist::Dictionary& customAttributes,
    const std::string& orvelleName) {
    json predefined = predefinedParametersFromPredefinedAttributes(predefinedAttributes,
                                                                   orvelleName);
    predefined = transformedBaseParameters(std::move(predefined), orvelleName);
    return combinedParametersFromPredefinedParameters(
        std::move(predefined), customParametersFromCustomAttributes(customAttributes));
}

json PLROrvelleAnalyticsBridge::predefinedParametersFromPredefinedAttributes(
    const plist::Dictionary& predefinedAttributes, const std::string& orvelleName) {
    const auto& table = keyMappingTable();
    const auto found = table.find(orvelleName);
    if (found == table.end()) return json::object();  // a failed event has no mapping
    return extractBaseParameterDictionaryFromPredefinedAttributes(predefinedAttributes,
                                                                  found->second);
}

json PLROrvelleAnalyticsBridge::extractBaseParameterDictionaryFromPredefinedAttributes(
    const plist::Dictionary& predefinedAttributes, const KeyMapping& keyMapping) {
    json parameters = json::object();
    for (const auto& [key, parameterName] : keyMapping) {
        const plist::Value* value = predefinedAttributes.find(key);
        if (!value) continue;
        if (key == "item_price" || key == "total_price") {
            // Prices are stored in millionths.
            if (auto n = numberValue(*value)) parameters[parameterName] = *n * 1e-6;
        } else if (key == "success") {
            const auto* s = value->get<std::string>();
            parameters[parameterName] = (s && *s == "true") ? 1 : 0;
        } else if (auto v = parameterValue(*value)) {
            parameters[parameterName] = std::move(*v);
        }
    }
    return parameters;
}

json PLROrvelleAnalyticsBridge::transformedBaseParameters(json parameters,
                                                          const std::string& orvelleName) {
    if (orvelleName == "add_to_cart") {
        parameters["quantity"] = 1;
        if (parameters.contains("price")) parameters["value"] = parameters["price"];
    } else if (isFailableEvent(orvelleName)) {
        parameters.erase("success");
    }
    return parameters;
}

json PLROrvelleAnalyticsBridge::customParametersFromCustomAttributes(
    const std::optional<plist::Dictionary>& customAttributes) {
    json parameters = json::object();
    if (!customAttributes) return parameters;
    for (const auto& [key, value] : *customAttributes) {
        auto v = parameterValue(value);
        if (!v) continue;
        parameters[sanitizeAttributeName(key)] = std::move(*v);  // a later key wins
    }
    return parameters;
}

json PLROrvelleAnalyticsBridge::combinedParametersFromPredefinedParameters(
    json predefinedParameters, const json& customParameters) {
    for (const auto& [name, value] : customParameters.items()) {
        if (!predefinedParameters.contains(name)) predefinedParameters[name] = value;
    }
    return predefinedParameters;
}

const std::set<std::string>& PLROrvelleAnalyticsBridge::orvelleReservedKeys() {
    static const std::set<std::string> keys = {
        "app_clear_data",       "app_exception",
        "app_remove",           "app_upgrade",
        "app_install",          "app_update",
        "orvelle_campaign",     "error",
        "first_open",           "first_visit",
        "in_app_purchase",      "notification_dismiss",
        "notification_foreground", "notification_open",
        "notification_receive", "os_update",
        "session_start",        "user_engagement",
        "ad_exposure",          "adunit_exposure",
        "ad_query",             "ad_activeview",
        "ad_impression",        "ad_click",
        "screen_view",          "orvelle_extra_parameter",
    };
    return keys;
}

std::string PLROrvelleAnalyticsBridge::sanitizeEventName(const std::optional<std::string>& name) {
    if (!name || name->empty()) return std::string(kNamePrefix) + "unnamed_event";
    return sanitizedWithLimit(*name);
}

std::string PLROrvelleAnalyticsBridge::sanitizeAttributeName(
    const std::optional<std::string>& name) {
    if (!name || name->empty()) return std::string(kNamePrefix) + "unnamed_parameter";
    return sanitizedWithLimit(*name);
}

std::string PLROrvelleAnalyticsBridge::sanitizeKeyName(const std::string& name) {
    if (name.empty()) return name;
    // Every run of characters other than letters, digits and "_" becomes one "_".
    std::vector<UChar32> points;
    bool inRun = false;
    for (UChar32 c : codePoints(name)) {
        if (c == '_' || u_hasBinaryProperty(c, UCHAR_POSIX_ALNUM)) {
            points.push_back(c);
            inRun = false;
        } else if (!inRun) {
            points.push_back('_');
            inRun = true;
        }
    }
    std::string sanitized = utf8(points);
    // A letter, not a combining mark, must come first.
    if (!u_isalpha(points.front())) sanitized = kNamePrefix + sanitized;
    if (startsWith(sanitized, "orvelle_") || startsWith(sanitized, "halvard_") ||
        startsWith(sanitized, "ha_")) {
        sanitized = kNamePrefix + sanitized;
    }
    if (orvelleReservedKeys().count(sanitized)) sanitized = kNamePrefix + sanitized;
    return sanitized;
}

}  // namespace wv
