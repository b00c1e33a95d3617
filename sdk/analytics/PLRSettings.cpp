#include "sdk/analytics/PLRSettings.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "platform/foundation/Text.h"

namespace wv {

namespace {

// Text's integer reading: leading white space, an optional sign, then digits up to the first
// other character; 0 when there are none, the nearest limit when out of range.
int64_t integerFromText(const std::string& text) {
    const char* s = text.c_str();
    while (std::isspace(static_cast<unsigned char>(*s))) ++s;
    const long long v = std::strtoll(s, nullptr, 10);
    return int64_t(v);
}

// Text's real reading: the longest leading decimal number; 0 when there is none.
double realFromText(const std::string& text) {
    const char* s = text.c_str();
    while (std::isspace(static_cast<unsigned char>(*s))) ++s;
    // Hexadecimal, "inf" and "nan" are not decimal numbers to the platform.
    const char* p = s + ((*s == '+' || *s == '-') ? 1 : 0);
    if (!std::isdigit(static_cast<unsigned char>(*p)) && *p != '.') return 0;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) return 0;
    const double v = std::strtod(s, nullptr);
    return std::isfinite(v) ? v : 0;
}

int64_t integerFromReal(double d) {
    if (std::isnan(d)) return 0;
    if (d >= 9.2233720368547758e18) return std::numeric_limits<int64_t>::max();
    if (d <= -9.2233720368547758e18) return std::numeric_limits<int64_t>::min();
    return int64_t(d);
}

bool isValidURL(const std::string& url) {
    const size_t scheme = url.find("://");
    if (scheme == std::string::npos || scheme == 0) return false;
    if (!std::isalpha(static_cast<unsigned char>(url[0]))) return false;
    for (size_t i = 0; i < scheme; ++i) {
        const char c = url[i];
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
            return false;
    }
    const size_t hostStart = scheme + 3;
    const size_t hostEnd = url.find_first_of("/?#", hostStart);
    if ((hostEnd == std::string::npos ? url.size() : hostEnd) == hostStart) return false;
    for (unsigned char c : url)
        if (c <= 0x20 || c == 0x7f || c == '"' || c == '<' || c == '>' || c == '\\') return false;
    return true;
}

}  // namespace

PLRSettings::PLRSettings(std::optional<nlohmann::json> settingsDictionary)
    : settings_(std::move(settingsDictionary)) {}

const nlohmann::json* PLRSettings::value(const char* section, const char* key) const {
    if (!settings_ || !settings_->is_object()) return nullptr;
    const auto s = settings_->find(section);
    if (s == settings_->end() || !s->is_object()) return nullptr;
    const auto v = s->find(key);
    if (v == s->end() || v->is_null() || v->is_array() || v->is_object() || v->is_binary())
        return nullptr;
    return &*v;
}

bool PLRSettings::boolean(const char* section, const char* key, bool fallback) const {
    const nlohmann::json* v = value(section, key);
    if (!v) return fallback;
    if (v->is_boolean()) return v->get<bool>();
    if (v->is_number_integer()) return v->get<int64_t>() != 0;
    if (v->is_number_unsigned()) return v->get<uint64_t>() != 0;
    if (v->is_number_float()) return v->get<double>() != 0;
    return text::boolValue(v->get<std::string>());
}

int64_t PLRSettings::integer(const char* section, const char* key, int64_t fallback) const {
    const nlohmann::json* v = value(section, key);
    if (!v) return fallback;
    if (v->is_boolean()) return v->get<bool>() ? 1 : 0;
    if (v->is_number_unsigned()) {
        const uint64_t u = v->get<uint64_t>();
        return u > uint64_t(std::numeric_limits<int64_t>::max())
                   ? std::numeric_limits<int64_t>::max()
                   : int64_t(u);
    }
    if (v->is_number_integer()) return v->get<int64_t>();
    if (v->is_number_float()) return integerFromReal(v->get<double>());
    return integerFromText(v->get<std::string>());
}

double PLRSettings::real(const char* section, const char* key, double fallback) const {
    const nlohmann::json* v = value(section, key);
    if (!v) return fallback;
    if (v->is_boolean()) return v->get<bool>() ? 1 : 0;
    if (v->is_number()) return v->get<double>();
    return realFromText(v->get<std::string>());
}

std::optional<std::string> PLRSettings::defaultPlurioURL() {
    const std::string host = WOVANU_ANALYTICS_HOST;
    if (host.empty()) return std::nullopt;
    return "https://" + host + "/spi/v2/events";
}

std::optional<std::string> PLRSettings::plurioURL() const {
    const nlohmann::json* v = value("analytics", "url");
    if (v && v->is_string() && isValidURL(v->get<std::string>())) return v->get<std::string>();
    return defaultPlurioURL();
}

bool PLRSettings::shouldCollectAnalytics() const {
    return boolean("features", "collect_analytics", true);
}
bool PLRSettings::shouldCollectCustomEvents() const {
    return boolean("analytics", "track_custom_events", true);
}
bool PLRSettings::shouldCollectPredefinedEvents() const {
    return boolean("analytics", "track_predefined_events", true);
}
bool PLRSettings::shouldForwardToOrvelleAnalytics() const {
    return boolean("analytics", "forward_to_halvard_analytics", false);
}
bool PLRSettings::shouldIncludePurchaseEventsInForwardedOrvelleEvents() const {
    return boolean("analytics", "include_purchase_events_in_forwarded_events", false);
}
int64_t PLRSettings::maximumPayloadSize() const {
    return integer("analytics", "max_byte_size_per_file", 8000);
}
int64_t PLRSettings::maxPendingSendFiles() const {
    return integer("analytics", "max_pending_send_file_count", 100);
}
double PLRSettings::flushInterval() const { return real("analytics", "flush_interval_secs", 0); }
int64_t PLRSettings::samplingRate() const { return integer("analytics", "sampling_rate", 1); }
double PLRSettings::defaultUploadTimeout() const {
    return real("analytics", "upload_timeout_secs", 21600);
}
double PLRSettings::lowPowerUploadTimeout() const {
    return real("analytics", "low_power_upload_timeout_secs", 3600);
}

}  // namespace wv
