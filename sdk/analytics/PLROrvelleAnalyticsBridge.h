#pragma once

#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>

#include "platform/plist/Value.h"

namespace wv {

class PLRCustomEvent;
class PLREvent;
class PLRPredefinedEvent;
struct ORVAnalyticsClass;

// Passes the kit's custom and predefined events on to Orvelle Analytics when the application
// links it: predefined names and attribute keys become Orvelle's recommended ones, prices and
// success flags are converted, failed events get their prefix, and every other name is
// rewritten into the characters and length Orvelle accepts, clear of its reserved names.
//
// Parameters are an object of texts and numbers (a boolean counts as the number 1 or 0); a
// value of any other kind is not passed on. Only reads after construction: safe from any
// thread.
class PLROrvelleAnalyticsBridge {
  public:
    static constexpr const char* kOrigin = "trn";
    static constexpr const char* kNamePrefix = "tarnel_";
    static constexpr size_t kMaximumNameLength = 40;

    // Over the class registered as "ORVAnalytics", if any.
    PLROrvelleAnalyticsBridge();
    // Kept only when it offers logInternalEventWithOrigin.
    explicit PLROrvelleAnalyticsBridge(std::shared_ptr<const ORVAnalyticsClass> orvelleAnalytics);

    const std::shared_ptr<const ORVAnalyticsClass>& orvelleAnalytics() const {
        return orvelleAnalytics_;
    }

    // Custom and predefined events only; anything else is ignored.
    void logEvent(const PLREvent& event) const;
    void logCustomEvent(const PLRCustomEvent& event) const;
    void logPredefinedEvent(const PLRPredefinedEvent& event) const;
    // A level end goes twice: as itself and as "post_score".
    void logPredefinedEventToOrvelleWithEventName(const std::string& name,
                                                  const nlohmann::json& parameters) const;

    // None for a name the table does not know.
    static std::optional<std::string> orvelleEventNameForPlurioEventName(
        const std::string& plurioName, const plist::Dictionary& predefinedAttributes);
    static bool shouldUseFailedEventName(const std::string& orvelleName,
                                         const plist::Dictionary& predefinedAttributes);
    static std::string failedEventName(const std::string& orvelleName);
    static bool isFailableEvent(const std::string& orvelleName);
    static nlohmann::json orvelleEventParametersForPredefinedAttributes(
        const plist::Dictionary& predefinedAttributes, const plist::Dictionary& customAttributes,
        const std::string& orvelleName);
    static nlohmann::json predefinedParametersFromPredefinedAttributes(
        const plist::Dictionary& predefinedAttributes, const std::string& orvelleName);
    static nlohmann::json extractBaseParameterDictionaryFromPredefinedAttributes(
        const plist::Dictionary& predefinedAttributes,
        const std::map<std::string, std::string>& keyMapping);
    static nlohmann::json transformedBaseParameters(nlohmann::json parameters,
                                                    const std::string& orvelleName);
    static nlohmann::json customParametersFromCustomAttributes(
        const std::optional<plist::Dictionary>& customAttributes);
    static nlohmann::json combinedParametersFromPredefinedParameters(
        nlohmann::json predefinedParameters, const nlohmann::json& customParameters);
    static const std::set<std::string>& orvelleReservedKeys();
    static std::string sanitizeEventName(const std::optional<std::string>& name);
    static std::string sanitizeAttributeName(const std::optional<std::string>& name);
    static std::string sanitizeKeyName(const std::string& name);

  private:
    void send(const std::string& name, const nlohmann::json& parameters) const;

    std::shared_ptr<const ORVAnalyticsClass> orvelleAnalytics_;
};

}  // namespace wv
