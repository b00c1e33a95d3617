#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Folders.h"
#include "platform/foundation/Log.h"
#include "sdk/crash/report/QXSettings.h"

namespace wv {
namespace {

using json = nlohmann::json;
namespace fs = std::filesystem;

QXSettings settingsWith(json document) {
    return QXSettings(std::make_shared<const json>(std::move(document)));
}

// A main bundle of the test's own, with the Info.plist and strings table it is given.
class TestBundle {
  public:
    explicit TestBundle(std::optional<plist::Dictionary> quellix = std::nullopt)
        : root_(Folders::dataHome() / ("bundle" + std::to_string(counter()++))),
          scoped_((fs::create_directories(root_), root_)) {
        plist::Dictionary info;
        info.set("CFBundleIdentifier", plist::Value("com.example.settings"));
        if (quellix) info.set("Quellix", plist::Value(*quellix));
        plist::writeFile(root_ / "Info.plist", plist::Value(info));
    }
    ~TestBundle() { fs::remove_all(root_); }
    void writeStrings(const plist::Dictionary& strings) const {
        plist::writeFile(root_ / "Quellix.strings", plist::Value(strings));
    }
    void writeRawStrings(const std::string& bytes) const {
        std::ofstream(root_ / "Quellix.strings", std::ios::binary) << bytes;
    }

  private:
    static int& counter() {
        static int n = 0;
        return n;
    }
    fs::path root_;
    ScopedMainBundle scoped_;
};

// Sets one environment variable for the scope and puts back what was there.
class ScopedEnvironment {
  public:
    ScopedEnvironment(std::string name, const char* value) : name_(std::move(name)) {
        if (const char* old = getenv(name_.c_str())) previous_ = old;
        if (value) {
            setenv(name_.c_str(), value, 1);
        } else {
            unsetenv(name_.c_str());
        }
    }
    ~ScopedEnvironment() {
        if (previous_) {
            setenv(name_.c_str(), previous_->c_str(), 1);
        } else {
            unsetenv(name_.c_str());
        }
    }

  private:
    std::string name_;
    std::optional<std::string> previous_;
};

struct Accessor {
    const char* name;
    const char* section;
    const char* key;
    std::function<double(const QXSettings&)> read;
    double fallback;
};

const std::vector<Accessor>& accessors() {
    static const std::vector<Accessor> list = {
        {"reporting", "features", "collect_reports",
         [](const QXSettings& s) { return double(s.crashReportingEnabled()); }, 1},
        {"errors", "features", "collect_logged_exceptions",
         [](const QXSettings& s) { return double(s.errorReportingEnabled()); }, 1},
        {"custom exceptions", "features", "collect_logged_exceptions",
         [](const QXSettings& s) { return double(s.customExceptionsEnabled()); }, 1},
        {"prompt", "features", "prompt_enabled",
         [](const QXSettings& s) { return double(s.userPromptEnabled()); }, 0},
        {"orvelle", "features", "orvelle_quellix_enabled",
         [](const QXSettings& s) { return double(s.orvelleQuellixEnabled()); }, 0},
        {"log buffer", "session", "log_buffer_size",
         [](const QXSettings& s) { return double(s.logBufferSize()); }, 65536},
        {"error log buffer", "session", "log_buffer_size",
         [](const QXSettings& s) { return double(s.errorLogBufferSize()); }, 65536},
        {"custom exception count", "session", "max_custom_exception_events",
         [](const QXSettings& s) { return double(s.maxCustomExceptions()); }, 16},
        {"custom key count", "session", "max_custom_key_value_pairs",
         [](const QXSettings& s) { return double(s.maxCustomKeys()); }, 16},
        {"beta suspension", "beta", "update_suspend_duration",
         [](const QXSettings& s) { return s.betaSuspendDuration(); }, 3600},
    };
    return list;
}

TEST(QXSettings, DefaultsWithoutSettingsOrWithEmptySections) {
    const std::vector<std::pair<const char*, QXSettings>> documents = {
        {"no settings file", QXSettings()},
        {"empty document", settingsWith(json::object())},
        {"empty sections", settingsWith({{"features", json::object()},
                                         {"session", json::object()},
                                         {"beta", json::object()}})},
        {"sections of the wrong kind",
         settingsWith({{"features", 1}, {"session", "x"}, {"beta", json::array()}})},
        {"document of the wrong kind", settingsWith(json::array({1, 2}))},
    };
    for (const auto& [what, settings] : documents) {
        for (const auto& a : accessors()) EXPECT_EQ(a.read(settings), a.fallback) << what << ": "
                                                                                   << a.name;
    }
}

TEST(QXSettings, EachAccessorReadsItsOwnPath) {
    // A value at each path that differs from every default shows which path each reads.
    for (const auto& a : accessors()) {
        const json value = a.fallback == 0 ? json(true) : a.fallback == 1 ? json(false) : json(7);
        const QXSettings settings = settingsWith({{a.section, {{a.key, value}}}});
        const double expected = value.is_boolean() ? double(value.get<bool>()) : 7;
        EXPECT_EQ(a.read(settings), expected) << a.name;
    }
}

TEST(QXSettings, ValuesAreReadByKind) {
    struct Case {
        const char* what;
        json value;
        std::function<double(const QXSettings&)> read;
        const char* section;
        const char* key;
        double expected;
    };
    const auto reporting = [](const QXSettings& s) { return double(s.crashReportingEnabled()); };
    const auto prompt = [](const QXSettings& s) { return double(s.userPromptEnabled()); };
    const auto buffer = [](const QXSettings& s) { return double(s.logBufferSize()); };
    const auto beta = [](const QXSettings& s) { return s.betaSuspendDuration(); };
    const Case cases[] = {
        {"text NO", "NO", reporting, "features", "collect_reports", 0},
        {"number 0", 0, reporting, "features", "collect_reports", 0},
        {"real 0", 0.0, reporting, "features", "collect_reports", 0},
        {"null is missing", nullptr, reporting, "features", "collect_reports", 1},
        {"a list is missing", json::array({false}), reporting, "features", "collect_reports", 1},
        {"text YES", "YES", prompt, "features", "prompt_enabled", 1},
        {"text true", "true", prompt, "features", "prompt_enabled", 1},
        {"number 2", 2, prompt, "features", "prompt_enabled", 1},
        {"text no", "no", prompt, "features", "prompt_enabled", 0},
        {"size as text", "1024", buffer, "session", "log_buffer_size", 1024},
        {"size as real", 2048.9, buffer, "session", "log_buffer_size", 2048},
        {"largest size", 4294967295u, buffer, "session", "log_buffer_size", 4294967295.0},
        {"size zero", 0, buffer, "session", "log_buffer_size", 0},
        {"negative size", -1, buffer, "session", "log_buffer_size", 65536},
        {"size beyond 32 bits", 4294967296u, buffer, "session", "log_buffer_size", 65536},
        {"negative size as text", "-5", buffer, "session", "log_buffer_size", 65536},
        {"size text without digits", "big", buffer, "session", "log_buffer_size", 65536},
        {"suspension", 7200, beta, "beta", "update_suspend_duration", 7200},
        {"fractional suspension", 0.5, beta, "beta", "update_suspend_duration", 0.5},
        {"suspension as text", "60", beta, "beta", "update_suspend_duration", 60},
        {"suspension text without number", "soon", beta, "beta", "update_suspend_duration",
         3600},
    };
    for (const auto& c : cases) {
        const QXSettings settings = settingsWith({{c.section, {{c.key, c.value}}}});
        EXPECT_EQ(c.read(settings), c.expected) << c.what;
    }
}

// A value that says neither yes nor no, or is of the wrong kind altogether, must not switch
// anything off by accident: the default holds, and the log says which value was passed over.
TEST(QXSettings, UnusableValuesKeepTheDefaultAndSaySo) {
    struct Case {
        const char* what;
        json value;
        std::function<double(const QXSettings&)> read;
        const char* section;
        const char* key;
        double expected;
        std::string line;  // empty: nothing is said
    };
    const auto reporting = [](const QXSettings& s) { return double(s.crashReportingEnabled()); };
    const auto prompt = [](const QXSettings& s) { return double(s.userPromptEnabled()); };
    const auto keys = [](const QXSettings& s) { return double(s.maxCustomKeys()); };
    const Case cases[] = {
        {"a word that is no switch", "maybe", reporting, "features", "collect_reports", 1,
         "[Quellix:Crash] Setting 'features/collect_reports' holds no usable value ('maybe'); "
         "the default true holds"},
        {"an empty text", "", prompt, "features", "prompt_enabled", 0,
         "[Quellix:Crash] Setting 'features/prompt_enabled' holds no usable value (''); the "
         "default false holds"},
        {"a list", json::array({true}), reporting, "features", "collect_reports", 1,
         "[Quellix:Crash] Setting 'features/collect_reports' is of the wrong type; its default "
         "holds"},
        {"an object", json::object({{"on", true}}), prompt, "features", "prompt_enabled", 0,
         "[Quellix:Crash] Setting 'features/prompt_enabled' is of the wrong type; its default "
         "holds"},
        {"a negative count", -3, keys, "session", "max_custom_key_value_pairs", 16,
         "[Quellix:Crash] Setting 'session/max_custom_key_value_pairs' holds no usable value "
         "(-3); the default 16 holds"},
        {"words, blanks and case", " False ", reporting, "features", "collect_reports", 0, ""},
        {"a number as text", "0.0", reporting, "features", "collect_reports", 0, ""},
        {"a yes as text", "Yes", prompt, "features", "prompt_enabled", 1, ""},
    };
    for (const auto& c : cases) {
        LogCapture log;
        EXPECT_EQ(c.read(settingsWith({{c.section, {{c.key, c.value}}}})), c.expected) << c.what;
        EXPECT_EQ(log.lines(),
                  c.line.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.line})
            << c.what;
    }
}

TEST(QXSettings, AnOverrideThatIsNoSwitchKeepsTheDefaultAndSaysSo) {
    const std::pair<const char*, bool (QXSettings::*)() const> switches[] = {
        {"UrgentReports", &QXSettings::canProcessUrgentReports},
        {"PackageReports", &QXSettings::shouldPackageReports},
        {"SubmitReports", &QXSettings::shouldSubmitReports},
    };
    for (const auto& [key, read] : switches) {
        for (const char* value : {"perhaps", "", "N0"}) {
            SCOPED_TRACE(std::string(key) + " = '" + value + "'");
            TestBundle bundle;
            ScopedEnvironment environment(std::string("Quellix") + key, value);
            LogCapture log;
            EXPECT_TRUE((QXSettings().*read)()) << "every switch is on by default";
            EXPECT_EQ(log.lines(),
                      (std::vector<std::string>{
                          std::string("[Quellix:Crash] override: '") + key + "' => '" + value +
                              "'",
                          std::string("[Quellix:Crash] '") + key + "' holds no usable value ('" +
                              value + "'); the default true holds"}));
        }
    }
}

TEST(QXSettings, DefaultConfigurationIsTheBuildsEndpointsAndThreeSwitchesOn) {
    const plist::Dictionary defaults = QXSettings::defaultConfiguration();
    ASSERT_EQ(defaults.size(), 5u);
    EXPECT_EQ(*defaults.find("ReportsEndpoint"), plist::Value(WOVANU_REPORTS_ENDPOINT));
    EXPECT_EQ(*defaults.find("BetaEndpoint"), plist::Value(WOVANU_BETA_ENDPOINT));
    for (const char* key : {"PackageReports", "SubmitReports", "UrgentReports"})
        EXPECT_EQ(*defaults.find(key), plist::Value(true)) << key;

    TestBundle bundle;
    LogCapture log;
    const QXSettings settings;
    EXPECT_EQ(settings.reportsEndpoint(), WOVANU_REPORTS_ENDPOINT);
    EXPECT_EQ(settings.betaEndpoint(), WOVANU_BETA_ENDPOINT);
    EXPECT_TRUE(settings.shouldPackageReports());
    EXPECT_TRUE(settings.shouldSubmitReports());
    EXPECT_TRUE(settings.canProcessUrgentReports());
    EXPECT_FALSE(QXSettings::configuration());
    EXPECT_TRUE(log.lines().empty());
}

TEST(QXSettings, EnvironmentThenInfoPlistThenDefault) {
    using Read = std::function<std::string(const QXSettings&)>;
    const auto flag = [](bool (QXSettings::*op)() const) {
        return Read([op](const QXSettings& s) { return (s.*op)() ? "on" : "off"; });
    };
    struct Case {
        const char* key;
        Read read;
        const char* environment;                // null: not set
        std::optional<plist::Value> infoPlist;  // none: no such key
        std::string expected;
    };
    const Read reports = [](const QXSettings& s) { return s.reportsEndpoint(); };
    const Read beta = [](const QXSettings& s) { return s.betaEndpoint(); };
    const Case cases[] = {
        {"UrgentReports", flag(&QXSettings::canProcessUrgentReports), "NO", std::nullopt, "off"},
        {"UrgentReports", flag(&QXSettings::canProcessUrgentReports), "YES", plist::Value(false),
         "on"},
        {"UrgentReports", flag(&QXSettings::canProcessUrgentReports), nullptr,
         plist::Value(false), "off"},
        {"PackageReports", flag(&QXSettings::shouldPackageReports), "0", std::nullopt, "off"},
        {"PackageReports", flag(&QXSettings::shouldPackageReports), nullptr, plist::Value("no"),
         "off"},
        {"PackageReports", flag(&QXSettings::shouldPackageReports), nullptr,
         plist::Value(int64_t(0)), "off"},
        // A value that is no switch at all leaves the default in force.
        {"PackageReports", flag(&QXSettings::shouldPackageReports), nullptr,
         plist::Value(plist::Array{}), "on"},
        {"SubmitReports", flag(&QXSettings::shouldSubmitReports), "false", plist::Value(true),
         "off"},
        {"SubmitReports", flag(&QXSettings::shouldSubmitReports), nullptr, plist::Value(false),
         "off"},
        {"ReportsEndpoint", reports, "http://127.0.0.1:1", plist::Value("https://plist.example"),
         "http://127.0.0.1:1"},
        {"ReportsEndpoint", reports, nullptr, plist::Value("https://plist.example"),
         "https://plist.example"},
        {"ReportsEndpoint", reports, "", plist::Value("https://plist.example"), ""},
        // An endpoint that is no text names no endpoint.
        {"ReportsEndpoint", reports, nullptr, plist::Value(int64_t(3)), ""},
        {"BetaEndpoint", beta, "http://127.0.0.1:2", std::nullopt, "http://127.0.0.1:2"},
        {"BetaEndpoint", beta, nullptr, plist::Value("https://beta.example"),
         "https://beta.example"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " environment " + (c.environment ? c.environment : "-"));
        plist::Dictionary quellix;
        if (c.infoPlist) quellix.set(c.key, *c.infoPlist);
        TestBundle bundle(quellix);
        ScopedEnvironment environment(std::string("Quellix") + c.key, c.environment);
        LogCapture log;
        EXPECT_EQ(c.read(QXSettings()), c.expected);
        const std::string override = std::string("[Quellix:Crash] override: '") + c.key +
                                     "' => '" + (c.environment ? c.environment : "") + "'";
        EXPECT_EQ(log.lines(),
                  c.environment ? std::vector<std::string>{override} : std::vector<std::string>{});
    }
}

TEST(QXSettings, OnlyTheVariableWithThePrefixOverrides) {
    plist::Dictionary quellix;
    quellix.set("UrgentReports", plist::Value(true));
    TestBundle bundle(quellix);
    ScopedEnvironment bare("UrgentReports", "NO");
    ScopedEnvironment other("QuellixUrgent", "NO");
    LogCapture log;
    EXPECT_TRUE(QXSettings().canProcessUrgentReports());
    EXPECT_TRUE(log.lines().empty());
}

TEST(QXSettings, ValueForConfigurationKeyGivesTheSourcesValue) {
    plist::Dictionary quellix;
    quellix.set("PackageReports", plist::Value(false));
    quellix.set("SomethingElse", plist::Value("x"));
    TestBundle bundle(quellix);
    const QXSettings settings;
    EXPECT_EQ(settings.valueForConfigurationKey("PackageReports"), plist::Value(false));
    EXPECT_EQ(settings.valueForConfigurationKey("SomethingElse"), plist::Value("x"));
    EXPECT_EQ(settings.valueForConfigurationKey("SubmitReports"), plist::Value(true));
    EXPECT_FALSE(settings.valueForConfigurationKey("Unknown"));
    ScopedEnvironment environment("QuellixPackageReports", "YES");
    EXPECT_EQ(settings.valueForConfigurationKey("PackageReports"), plist::Value("YES"));
    EXPECT_EQ(QXSettings::configuration(), quellix);
}

TEST(QXSettings, PromptTextsStringsTableThenServiceThenDefault) {
    struct Case {
        const char* what;
        bool serviceText;
        bool tableEntry;
        std::string expected;
    };
    const Case cases[] = {
        {"default", false, false, "Send"},
        {"service", true, false, "Service send"},
        {"strings table over the service", true, true, "Table send"},
        {"strings table over the default", false, true, "Table send"},
    };
    for (const auto& c : cases) {
        TestBundle bundle;
        plist::Dictionary strings;
        strings.set("QuellixCrashSubmissionPromptTitle", plist::Value("Table title"));
        if (c.tableEntry) strings.set("QuellixCrashSubmissionSendTitle", plist::Value("Table send"));
        bundle.writeStrings(strings);
        json prompt = {{"title", "Service title"}};
        if (c.serviceText) prompt["send_button_title"] = "Service send";
        const QXSettings settings = settingsWith({{"prompt", prompt}});
        EXPECT_EQ(settings.interactivePromptSendTitle(), c.expected) << c.what;
        EXPECT_EQ(settings.interactivePromptTitle(), "Table title") << c.what;
    }
}

TEST(QXSettings, PromptDefaultsAndServiceKeys) {
    struct Text {
        std::function<std::string(const QXSettings&)> read;
        const char* settingsKey;
        std::string fallback;
    };
    const Text texts[] = {
        {[](const QXSettings& s) { return s.interactivePromptTitle(); }, "title",
         "Send Crash Report?"},
        {[](const QXSettings& s) { return s.interactivePromptMessage(); }, "message",
         "Looks like we crashed! Please help us fix the problem by sending a crash report."},
        {[](const QXSettings& s) { return s.interactivePromptCancelTitle(); },
         "cancel_button_title", "Don't Send"},
        {[](const QXSettings& s) { return s.interactivePromptSendTitle(); }, "send_button_title",
         "Send"},
        {[](const QXSettings& s) { return s.interactivePromptAlwaysSendTitle(); },
         "always_send_button_title", "Always Send"},
    };
    TestBundle bundle;  // no strings table
    for (const auto& t : texts) {
        EXPECT_EQ(t.read(QXSettings()), t.fallback) << t.settingsKey;
        EXPECT_EQ(t.read(settingsWith({{"prompt", {{t.settingsKey, "from service"}}}})),
                  "from service")
            << t.settingsKey;
        // A service value that is no text is not shown.
        EXPECT_EQ(t.read(settingsWith({{"prompt", {{t.settingsKey, 5}}}})), t.fallback)
            << t.settingsKey;
    }
}

TEST(QXSettings, AnUnusableStringsTableIsPassedOver) {
    const std::vector<std::pair<const char*, std::string>> tables = {
        {"not a property list", "garbage"},
        {"not a dictionary",
         "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>x</string></array>"
         "</plist>"},
        {"entry of the wrong kind",
         "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>"
         "QuellixCrashSubmissionSendTitle</key><integer>1</integer></dict></plist>"},
    };
    for (const auto& [what, bytes] : tables) {
        TestBundle bundle;
        bundle.writeRawStrings(bytes);
        LogCapture log;
        const QXSettings settings = settingsWith({{"prompt", {{"send_button_title", "Go"}}}});
        EXPECT_EQ(settings.interactivePromptSendTitle(), "Go") << what;
    }
}

}  // namespace
}  // namespace wv
