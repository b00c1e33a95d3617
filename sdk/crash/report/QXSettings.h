#pragma once

// The crash kit's read-only view of its configuration: the downloaded settings document
// (settings.json, as the kit core parsed it), plus three sources the service does not
// control: the process environment, the bundle's Info.plist dictionary "Quellix" and the
// built-in defaults. Every answer is computed afresh on each call; nothing is cached, so an
// object is cheap to make and safe to share between threads.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/plist/Value.h"
#include "sdk/core/TRNSettings.h"

namespace wv {

class QXSettings {
  public:
    using Dictionary = TRNSettings::Dictionary;

    // Configuration keys: the environment variable "Quellix" + key, then the key in the
    // Info.plist dictionary "Quellix", then defaultConfiguration().
    static constexpr const char* kReportsEndpointKey = "ReportsEndpoint";
    static constexpr const char* kBetaEndpointKey = "BetaEndpoint";
    static constexpr const char* kPackageReportsKey = "PackageReports";
    static constexpr const char* kSubmitReportsKey = "SubmitReports";
    static constexpr const char* kUrgentReportsKey = "UrgentReports";

    // initWithDictionary: none stands for "no settings file yet"; every answer is then its
    // default.
    explicit QXSettings(Dictionary settingsDictionary = nullptr);

    const Dictionary& settingsDictionary() const { return settingsDictionary_; }

    // The service's switches and limits. A missing section or key, or a value of the wrong
    // kind, gives the default.
    bool crashReportingEnabled() const;    // features / collect_reports, true
    bool errorReportingEnabled() const;    // features / collect_logged_exceptions, true
    bool customExceptionsEnabled() const;  // the same
    bool userPromptEnabled() const;        // features / prompt_enabled, false
    bool orvelleQuellixEnabled() const;    // features / orvelle_quellix_enabled, false
    uint32_t logBufferSize() const;        // session / log_buffer_size, 65536 bytes
    uint32_t errorLogBufferSize() const;   // the same
    uint32_t maxCustomExceptions() const;  // session / max_custom_exception_events, 16
    uint32_t maxCustomKeys() const;        // session / max_custom_key_value_pairs, 16
    double betaSuspendDuration() const;    // beta / update_suspend_duration, 3600 seconds

    // The Info.plist dictionary "Quellix", none when the bundle has none.
    static std::optional<plist::Dictionary> configuration();
    // The five built-in values: both endpoints are the build's (empty unless a build names
    // them, and an empty endpoint sends nothing), the three switches true.
    static plist::Dictionary defaultConfiguration();
    // The first source that has the key. A value from the environment is logged as
    // "[Quellix:Crash] override: '<key>' => '<value>'".
    std::optional<plist::Value> valueForConfigurationKey(std::string_view key) const;

    // Base URLs; empty when none is configured (or the value is no text).
    std::string reportsEndpoint() const;
    std::string betaEndpoint() const;
    // A text reads as the platform reads truth ("YES", "true", "1"); numbers are true when
    // not 0.
    bool shouldPackageReports() const;
    bool shouldSubmitReports() const;
    bool canProcessUrgentReports() const;

    // The text under prompt / <settingsKey> of the settings replaces `defaultValue`; a text
    // under `localizedKey` in the bundle's strings table "Quellix" (Quellix.strings, a
    // property-list dictionary) wins over both.
    std::string promptValueForSettingsKey(std::string_view settingsKey,
                                          std::string_view localizedKey,
                                          std::string_view defaultValue) const;
    std::string interactivePromptTitle() const;
    std::string interactivePromptMessage() const;
    std::string interactivePromptCancelTitle() const;
    std::string interactivePromptSendTitle() const;
    std::string interactivePromptAlwaysSendTitle() const;

  private:
    const nlohmann::json* value(const char* section, const char* key) const;
    bool boolean(const char* section, const char* key, bool fallback) const;
    uint32_t count(const char* section, const char* key, uint32_t fallback) const;
    static std::optional<uint32_t> countOf(const nlohmann::json& value);
    bool configurationBoolean(const char* key) const;
    std::string configurationText(const char* key) const;

    Dictionary settingsDictionary_;
};

}  // namespace wv
