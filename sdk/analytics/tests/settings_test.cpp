#include <gtest/gtest.h>

#include <functional>

#include "sdk/analytics/PLRSettings.h"

namespace wv {
namespace {

using json = nlohmann::json;

// Each accessor, where it reads and what it gives without a value.
struct Accessor {
    const char* name;
    const char* section;
    const char* key;
    std::function<double(const PLRSettings&)> read;
    double fallback;
};

const std::vector<Accessor>& accessors() {
    static const std::vector<Accessor> list = {
        {"collect", "features", "collect_analytics",
         [](const PLRSettings& s) { return double(s.shouldCollectAnalytics()); }, 1},
        {"custom", "analytics", "track_custom_events",
         [](const PLRSettings& s) { return double(s.shouldCollectCustomEvents()); }, 1},
        {"predefined", "analytics", "track_predefined_events",
         [](const PLRSettings& s) { return double(s.shouldCollectPredefinedEvents()); }, 1},
        {"forward", "analytics", "forward_to_halvard_analytics",
         [](const PLRSettings& s) { return double(s.shouldForwardToOrvelleAnalytics()); }, 0},
        {"purchases", "analytics", "include_purchase_events_in_forwarded_events",
         [](const PLRSettings& s) {
             return double(s.shouldIncludePurchaseEventsInForwardedOrvelleEvents());
         },
         0},
        {"size", "analytics", "max_byte_size_per_file",
         [](const PLRSettings& s) { return double(s.maximumPayloadSize()); }, 8000},
        {"pending", "analytics", "max_pending_send_file_count",
         [](const PLRSettings& s) { return double(s.maxPendingSendFiles()); }, 100},
        {"flush", "analytics", "flush_interval_secs",
         [](const PLRSettings& s) { return s.flushInterval(); }, 0},
        {"sampling", "analytics", "sampling_rate",
         [](const PLRSettings& s) { return double(s.samplingRate()); }, 1},
        {"timeout", "analytics", "upload_timeout_secs",
         [](const PLRSettings& s) { return s.defaultUploadTimeout(); }, 21600},
        {"lowPower", "analytics", "low_power_upload_timeout_secs",
         [](const PLRSettings& s) { return s.lowPowerUploadTimeout(); }, 3600},
    };
    return list;
}

TEST(PLRSettings, DefaultsWithoutSettings) {
    const PLRSettings none;
    EXPECT_FALSE(none.valid());
    EXPECT_TRUE(PLRSettings(json::object()).valid());
    EXPECT_EQ(none.plurioURL(), PLRSettings::defaultPlurioURL());
    for (const auto& a : accessors()) {
        EXPECT_EQ(a.read(none), a.fallback) << a.name;
        EXPECT_EQ(a.read(PLRSettings(json::object())), a.fallback) << a.name;
    }
}

TEST(PLRSettings, MissingOrMistypedGiveDefaults) {
    const json bad[] = {nullptr, json::array({1}), json::object({{"a", 1}}), json::binary({1})};
    for (const auto& a : accessors()) {
        for (const auto& value : bad) {
            // The value itself mistyped, its section mistyped, the other section present only.
            const json settings[] = {
                json{{a.section, {{a.key, value}}}},
                json{{a.section, value}},
                json{{std::string(a.section) == "features" ? "analytics" : "features",
                      {{a.key, 5}}}},
            };
            for (const auto& s : settings)
                EXPECT_EQ(a.read(PLRSettings(s)), a.fallback) << a.name << " " << s.dump();
        }
        EXPECT_EQ(a.read(PLRSettings(json::array())), a.fallback) << a.name;
    }
}

TEST(PLRSettings, ValuesAreReadAsThePlatformReadsThem) {
    struct Case {
        const char* accessor;
        json value;
        double expected;
    };
    const Case cases[] = {
        {"collect", false, 0},    {"collect", 0, 0},
        {"collect", "NO", 0},     {"collect", "yes", 1},
        {"forward", true, 1},     {"forward", "true", 1},
        {"forward", 0.5, 1},      {"forward", "  +07", 1},
        {"forward", "0", 0},      {"size", 16000, 16000},
        {"size", "12kb", 12},     {"size", 2.9, 2},
        {"size", "", 0},          {"size", "99999999999999999999", 9223372036854775807.0},
        {"size", true, 1},        {"flush", "30", 30},
        {"flush", " 1.5e1x", 15}, {"flush", "abc", 0},
        {"flush", "0x10", 0},     {"flush", 45, 45},
        {"sampling", 5, 5},       {"sampling", -3, -3},
        {"sampling", "4", 4},     {"timeout", 60.5, 60.5},
        {"lowPower", "120", 120},
    };
    for (const auto& c : cases) {
        const auto& a = *std::find_if(accessors().begin(), accessors().end(), [&](const auto& a) {
            return std::string(a.name) == c.accessor;
        });
        EXPECT_EQ(a.read(PLRSettings(json{{a.section, {{a.key, c.value}}}})), c.expected)
            << c.accessor << " " << c.value.dump();
    }
}

TEST(PLRSettings, AnalyticsWithoutFeaturesCollects) {
    const PLRSettings settings(json{{"analytics", {{"sampling_rate", 3}}}});
    EXPECT_TRUE(settings.shouldCollectAnalytics());
    EXPECT_EQ(settings.samplingRate(), 3);
}

TEST(PLRSettings, EventsEndpoint) {
    struct Case {
        json url;
        std::optional<std::string> expected;
    };
    const auto fallback = PLRSettings::defaultPlurioURL();
    const Case cases[] = {
        {"https://events.example.org/spi/v2/events", "https://events.example.org/spi/v2/events"},
        {"http://127.0.0.1:8080/e", "http://127.0.0.1:8080/e"},
        {"", fallback},
        {"not a url", fallback},
        {"https://", fallback},
        {"://host/x", fallback},
        {"https://host/with space", fallback},
        {42, fallback},
        {nullptr, fallback},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PLRSettings(json{{"analytics", {{"url", c.url}}}}).plurioURL(), c.expected)
            << c.url.dump();
}

}  // namespace
}  // namespace wv
