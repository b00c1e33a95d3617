#include <gtest/gtest.h>

#include "sdk/analytics/PLRCrashEvent.h"
#include "sdk/analytics/PLRCustomEvent.h"
#include "sdk/analytics/PLREventFilter.h"
#include "sdk/analytics/PLRLifecycleEvent.h"
#include "sdk/analytics/PLRPredefinedEvent.h"

namespace wv {
namespace {

TEST(PLREventFilter, HashOfUtf16Units) {
    struct Case {
        const char* text;
        int32_t hash;
    };
    const Case cases[] = {
        {"", 0},
        {"a", 97},
        {"abc", 96354},
        // é is one unit (233): 104 * 31 + 233.
        {"h\xC3\xA9", 3457},
        // U+1F600 is the pair D83D DE00: 55357 * 31 + 56832.
        {"\xF0\x9F\x98\x80", 1772899},
        // 120 * (31^7 - 1) / 30 = 110,050,456,440 wraps in 32 bits to 2,676,274,040, read
        // as signed -1,618,693,256.
        {"xxxxxxx", -1618693256},
        {"polygenelubricants", INT32_MIN},
        // An installation identifier as the SDK makes them.
        {"00000000-0000-0000-0000-000000000000", 1428967488},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PLREventFilter::javaHashCodeForString(c.text), c.hash) << c.text;
}

TEST(PLREventFilter, HashRule) {
    struct Case {
        std::optional<std::string> id;
        int64_t factor;
        bool discard;
    };
    // "abc" hashes to 96354 = 2 * 3 * 16059; "xxxxxxx" to -1618693256 = -(2^3 * 202336657).
    const Case cases[] = {
        {"abc", 1, false},
        {"abc", 0, false},
        {"abc", -6, false},
        {"abc", 2, false},
        {"abc", 6, false},
        {"abc", 5, true},
        {"abc", 4, true},
        {"xxxxxxx", 8, false},
        {"xxxxxxx", 3, true},
        {"xxxxxxx", 16, true},
        {"", 1000, false},
        {std::nullopt, 7, false},
        {"polygenelubricants", 2, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PLREventFilter::shouldDiscardEventWithInstallationID(c.id, c.factor), c.discard)
            << c.id.value_or("(none)") << " / " << c.factor;
}

TEST(PLREventFilter, OnlyTheKitsOwnEventsAreSampled) {
    const std::string dropped = "abc";  // 96354 % 5 != 0
    const auto launched = PLRLifecycleEvent::appLaunchedEvent();
    const auto installed = PLRLifecycleEvent::installEvent();
    const PLRCrashEvent crash(WallClock::TimePoint(), 0);
    const PLRCustomEvent custom("x", std::nullopt);
    const auto predefined = PLRPredefinedEvent::searchEventWithQuery(plist::Value("q"), {});
    struct Case {
        const PLREvent* event;
        std::optional<std::string> beta;
        bool discard;
    };
    const Case cases[] = {
        {launched.get(), std::nullopt, true}, {&crash, std::nullopt, true},
        {launched.get(), "2:token", false},   {installed.get(), std::nullopt, false},
        {&custom, std::nullopt, false},       {predefined.get(), std::nullopt, false},
        {nullptr, std::nullopt, true},        {nullptr, "2:token", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PLREventFilter::shouldDiscardEvent(c.event, c.beta, dropped, 5), c.discard)
            << (c.event ? c.event->name() : "no event");
    for (const char* name : {"app_launched", "app_terminated", "app_crashed", "app_memory_warning",
                             "app_entered_background", "app_entered_foreground",
                             "app_became_inactive", "app_became_active"})
        EXPECT_TRUE(PLREventFilter::samplingEnabledForEventType(name)) << name;
    for (const char* name : {"app_installed", "custom", "predefined", "unknown-notification"})
        EXPECT_FALSE(PLREventFilter::samplingEnabledForEventType(name)) << name;
}

}  // namespace
}  // namespace wv
