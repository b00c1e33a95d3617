#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace wv {

// The analytics kit's read-only view of the SDK settings (the whole parsed settings file,
// with its "analytics" and "features" sections). Every answer is read afresh and falls back
// to its default when the section or key is missing; a section that is no object, or a
// value that is null, an array or an object, counts as missing. Numbers and booleans given
// as text are read as the platform reads text.
class PLRSettings {
  public:
    explicit PLRSettings(std::optional<nlohmann::json> settingsDictionary = std::nullopt);

    const std::optional<nlohmann::json>& settingsDictionary() const { return settings_; }
    bool valid() const { return settings_.has_value(); }

    // The events endpoint; none when neither the settings nor the build name one.
    std::optional<std::string> plurioURL() const;
    static std::optional<std::string> defaultPlurioURL();
    bool shouldCollectAnalytics() const;
    bool shouldCollectCustomEvents() const;
    bool shouldCollectPredefinedEvents() const;
    bool shouldForwardToOrvelleAnalytics() const;
    bool shouldIncludePurchaseEventsInForwardedOrvelleEvents() const;
    int64_t maximumPayloadSize() const;  // bytes
    int64_t maxPendingSendFiles() const;
    double flushInterval() const;  // seconds; 0: no timer
    int64_t samplingRate() const;
    double defaultUploadTimeout() const;   // seconds
    double lowPowerUploadTimeout() const;  // seconds

  private:
    const nlohmann::json* value(const char* section, const char* key) const;
    bool boolean(const char* section, const char* key, bool fallback) const;
    int64_t integer(const char* section, const char* key, int64_t fallback) const;
    double real(const char* section, const char* key, double fallback) const;

    std::optional<nlohmann::json> settings_;
};

}  // namespace wv
