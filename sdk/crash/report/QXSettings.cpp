#include "sdk/crash/report/QXSettings.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/plist/BundleInfo.h"

#ifndef WOVANU_REPORTS_ENDPOINT
#define WOVANU_REPORTS_ENDPOINT ""
#endif
#ifndef WOVANU_BETA_ENDPOINT
#define WOVANU_BETA_ENDPOINT ""
#endif

namespace wv {

namespace {

constexpr uint32_t kDefaultBufferSize = 65536;
constexpr uint32_t kDefaultCount = 16;
constexpr double kDefaultBetaSuspendDuration = 3600;

// A count the service sends as text: leading white space, then decimal digits. Anything that
// does not make a whole count in 32 bits is no count.
std::optional<uint32_t> countFromText(const std::string& text) {
    const char* s = text.c_str();
    while (std::isspace(static_cast<unsigned char>(*s))) ++s;
    if (*s == '+') ++s;
    if (!std::isdigit(static_cast<unsigned char>(*s))) return std::nullopt;
    errno = 0;
    const unsigned long long v = std::strtoull(s, nullptr, 10);
    if (errno == ERANGE || v > std::numeric_limits<uint32_t>::max()) return std::nullopt;
    return uint32_t(v);
}

// A text that plainly says yes or no: the words (any case, surrounding blanks ignored) or a
// number. Anything else ("maybe", "") says neither, and must not switch reporting off by
// accident, as reading it the platform's lenient way would.
std::optional<bool> truthOfText(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n\v\f");
    if (first == std::string::npos) return std::nullopt;
    const size_t last = text.find_last_not_of(" \t\r\n\v\f");
    std::string word = text.substr(first, last - first + 1);
    for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (word == "yes" || word == "y" || word == "true" || word == "t") return true;
    if (word == "no" || word == "n" || word == "false" || word == "f") return false;
    char* end = nullptr;
    errno = 0;
    const double number = std::strtod(word.c_str(), &end);
    if (end == word.c_str() || *end != '\0' || !std::isfinite(number)) return std::nullopt;
    return number != 0;
}

// A value that is not a switch of the platform's kinds (data, a date, a list, a dictionary)
// leaves the default in force.
std::optional<bool> truthOf(const plist::Value& value) {
    if (const bool* b = value.get<bool>()) return *b;
    if (const int64_t* i = value.get<int64_t>()) return *i != 0;
    if (const double* d = value.get<double>()) return *d != 0;
    if (const std::string* s = value.get<std::string>()) return truthOfText(*s);
    return std::nullopt;
}

void logIgnored(const std::string& what, const std::string& value, const std::string& fallback) {
    Log::system("[Quellix:Crash] " + what + " holds no usable value (" + value +
                "); the default " + fallback + " holds");
}

}  // namespace

QXSettings::QXSettings(Dictionary settingsDictionary)
    : settingsDictionary_(std::move(settingsDictionary)) {}

const nlohmann::json* QXSettings::value(const char* section, const char* key) const {
    if (!settingsDictionary_ || !settingsDictionary_->is_object()) return nullptr;
    const auto s = settingsDictionary_->find(section);
    if (s == settingsDictionary_->end() || !s->is_object()) return nullptr;
    const auto v = s->find(key);
    if (v == s->end() || v->is_null()) return nullptr;
    if (v->is_array() || v->is_object() || v->is_binary()) {
        Log::system(std::string("[Quellix:Crash] Setting '") + section + "/" + key +
                    "' is of the wrong type; its default holds");
        return nullptr;
    }
    return &*v;
}

bool QXSettings::boolean(const char* section, const char* key, bool fallback) const {
    const nlohmann::json* v = value(section, key);
    if (!v) return fallback;
    if (v->is_boolean()) return v->get<bool>();
    if (v->is_number_unsigned()) return v->get<uint64_t>() != 0;
    if (v->is_number_integer()) return v->get<int64_t>() != 0;
    if (v->is_number_float()) return v->get<double>() != 0;
    const std::string& text = v->get_ref<const std::string&>();
    if (const auto truth = truthOfText(text)) return *truth;
    logIgnored(std::string("Setting '") + section + "/" + key + "'", "'" + text + "'",
               fallback ? "true" : "false");
    return fallback;
}

// Sizes and counts are handed to the crash-time code as they are: a negative, fractional
// overflowing or out-of-range number would become a nonsense buffer or limit, so it leaves the
// default in force.
uint32_t QXSettings::count(const char* section, const char* key, uint32_t fallback) const {
    const nlohmann::json* v = value(section, key);
    if (!v) return fallback;
    const std::optional<uint32_t> c = countOf(*v);
    if (c) return *c;
    logIgnored(std::string("Setting '") + section + "/" + key + "'",
               v->dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
               std::to_string(fallback));
    return fallback;
}

std::optional<uint32_t> QXSettings::countOf(const nlohmann::json& value) {
    const nlohmann::json* v = &value;
    const std::optional<uint32_t> fallback;
    constexpr uint64_t kMax = std::numeric_limits<uint32_t>::max();
    if (v->is_boolean()) return v->get<bool>() ? 1 : 0;
    if (v->is_number_unsigned()) {
        const uint64_t u = v->get<uint64_t>();
        if (u <= kMax) return uint32_t(u);
        return fallback;
    }
    if (v->is_number_integer()) {
        const int64_t i = v->get<int64_t>();
        if (i >= 0 && uint64_t(i) <= kMax) return uint32_t(i);
        return fallback;
    }
    if (v->is_number_float()) {
        const double d = v->get<double>();
        if (std::isfinite(d) && d >= 0 && d <= double(kMax)) return uint32_t(d);
        return fallback;
    }
    return countFromText(v->get<std::string>());
}

bool QXSettings::crashReportingEnabled() const {
    return boolean("features", "collect_reports", true);
}
bool QXSettings::errorReportingEnabled() const {
    return boolean("features", "collect_logged_exceptions", true);
}
bool QXSettings::customExceptionsEnabled() const { return errorReportingEnabled(); }
bool QXSettings::userPromptEnabled() const { return boolean("features", "prompt_enabled", false); }
bool QXSettings::orvelleQuellixEnabled() const {
    return boolean("features", "orvelle_quellix_enabled", false);
}
uint32_t QXSettings::logBufferSize() const {
    return count("session", "log_buffer_size", kDefaultBufferSize);
}
uint32_t QXSettings::errorLogBufferSize() const { return logBufferSize(); }
uint32_t QXSettings::maxCustomExceptions() const {
    return count("session", "max_custom_exception_events", kDefaultCount);
}
uint32_t QXSettings::maxCustomKeys() const {
    return count("session", "max_custom_key_value_pairs", kDefaultCount);
}

double QXSettings::betaSuspendDuration() const {
    const nlohmann::json* v = value("beta", "update_suspend_duration");
    if (!v) return kDefaultBetaSuspendDuration;
    if (v->is_boolean()) return v->get<bool>() ? 1 : 0;
    if (v->is_number()) return v->get<double>();
    const std::string& text = v->get_ref<const std::string&>();
    char* end = nullptr;
    const double d = std::strtod(text.c_str(), &end);
    return end != text.c_str() && std::isfinite(d) ? d : kDefaultBetaSuspendDuration;
}

std::optional<plist::Dictionary> QXSettings::configuration() {
    const plist::Value* quellix = BundleInfo::main()->objectForInfoDictionaryKey("Quellix");
    if (!quellix || !quellix->is<plist::Dictionary>()) return std::nullopt;
    return *quellix->get<plist::Dictionary>();
}

plist::Dictionary QXSettings::defaultConfiguration() {
    plist::Dictionary defaults;
    defaults.set(kReportsEndpointKey, plist::Value(WOVANU_REPORTS_ENDPOINT));
    defaults.set(kBetaEndpointKey, plist::Value(WOVANU_BETA_ENDPOINT));
    defaults.set(kPackageReportsKey, plist::Value(true));
    defaults.set(kSubmitReportsKey, plist::Value(true));
    defaults.set(kUrgentReportsKey, plist::Value(true));
    return defaults;
}

std::optional<plist::Value> QXSettings::valueForConfigurationKey(std::string_view key) const {
    const std::string variable = "Quellix" + std::string(key);
    if (const char* value = std::getenv(variable.c_str())) {
        Log::system("[Quellix:Crash] override: '" + std::string(key) + "' => '" +
                    std::string(value) + "'");
        return plist::Value(std::string(value));
    }
    if (const auto config = configuration()) {
        if (const plist::Value* value = config->find(key)) return *value;
    }
    const plist::Dictionary defaults = defaultConfiguration();
    if (const plist::Value* value = defaults.find(key)) return *value;
    return std::nullopt;
}

bool QXSettings::configurationBoolean(const char* key) const {
    const bool fallback = *defaultConfiguration().find(key)->get<bool>();
    const auto value = valueForConfigurationKey(key);
    if (value) {
        if (const auto truth = truthOf(*value)) return *truth;
        if (const std::string* text = value->get<std::string>())
            logIgnored(std::string("'") + key + "'", "'" + *text + "'",
                       fallback ? "true" : "false");
    }
    return fallback;
}

std::string QXSettings::configurationText(const char* key) const {
    const auto value = valueForConfigurationKey(key);
    if (value && value->is<std::string>()) return *value->get<std::string>();
    return std::string();
}

std::string QXSettings::reportsEndpoint() const { return configurationText(kReportsEndpointKey); }
std::string QXSettings::betaEndpoint() const { return configurationText(kBetaEndpointKey); }
bool QXSettings::shouldPackageReports() const { return configurationBoolean(kPackageReportsKey); }
bool QXSettings::shouldSubmitReports() const { return configurationBoolean(kSubmitReportsKey); }
bool QXSettings::canProcessUrgentReports() const {
    return configurationBoolean(kUrgentReportsKey);
}

std::string QXSettings::promptValueForSettingsKey(std::string_view settingsKey,
                                                  std::string_view localizedKey,
                                                  std::string_view defaultValue) const {
    std::string result(defaultValue);
    if (const nlohmann::json* v = value("prompt", std::string(settingsKey).c_str());
        v && v->is_string()) {
        result = v->get<std::string>();
    }
    // The strings table is optional: most bundles have none.
    const auto table = Bundle::main().pathForResource("Quellix", "strings");
    if (!table) return result;
    const auto strings = plist::readFile(*table);
    if (!strings || !strings->is<plist::Dictionary>()) return result;
    const plist::Value* localized = strings->get<plist::Dictionary>()->find(localizedKey);
    if (localized && localized->is<std::string>()) return *localized->get<std::string>();
    return result;
}

std::string QXSettings::interactivePromptTitle() const {
    return promptValueForSettingsKey("title", "QuellixCrashSubmissionPromptTitle",
                                     "Send Crash Report?");
}
std::string QXSettings::interactivePromptMessage() const {
    return promptValueForSettingsKey(
        "message", "QuellixCrashSubmissionPromptMessage",
        "Looks like we crashed! Please help us fix the problem by sending a crash report.");
}
std::string QXSettings::interactivePromptCancelTitle() const {
    return promptValueForSettingsKey("cancel_button_title", "QuellixCrashSubmissionCancelTitle",
                                     "Don't Send");
}
std::string QXSettings::interactivePromptSendTitle() const {
    return promptValueForSettingsKey("send_button_title", "QuellixCrashSubmissionSendTitle",
                                     "Send");
}
std::string QXSettings::interactivePromptAlwaysSendTitle() const {
    return promptValueForSettingsKey("always_send_button_title",
                                     "QuellixCrashSubmissionAlwaysSendTitle", "Always Send");
}

}  // namespace wv
