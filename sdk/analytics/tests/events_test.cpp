#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>

#include "platform/foundation/Folders.h"
#include "platform/foundation/Log.h"
#include "sdk/analytics/PLRCrashEvent.h"
#include "sdk/analytics/PLRCustomEvent.h"
#include "sdk/analytics/PLRLifecycleEvent.h"
#include "sdk/analytics/PLRPredefinedEvent.h"

namespace wv {
namespace {

using json = nlohmann::ordered_json;
const auto kNow = WallClock::TimePoint(std::chrono::seconds(1700000000));

// The payload as an outside JSON reader sees it: encoded, read back by python3's json.tool
// (which keeps key order), and parsed again.
json throughJsonTool(const json& payload) {
    const auto path = Folders::dataHome() / "payload.json";
    std::ofstream(path) << payload.dump();
    FILE* pipe = popen(("python3 -m json.tool " + path.string()).c_str(), "r");
    std::string out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    EXPECT_EQ(pclose(pipe), 0);
    return json::parse(out);
}

std::vector<std::string> keys(const json& object) {
    std::vector<std::string> out;
    for (auto it = object.begin(); it != object.end(); ++it) out.push_back(it.key());
    return out;
}

plist::Dictionary attrs(std::initializer_list<std::pair<const char*, plist::Value>> entries) {
    plist::Dictionary d;
    for (const auto& [k, v] : entries) d.set(k, v);
    return d;
}

bool isUUID(const std::string& s) {
    return std::regex_match(s, std::regex("[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}"));
}

TEST(PLREvent, BaseEventHasItsTimeAndANewIdentifier) {
    ScopedWallClock clock(std::make_shared<FixedWallClock>(kNow));
    PLREvent a, b;
    EXPECT_EQ(a.timestamp(), kNow);
    EXPECT_TRUE(isUUID(a.identifier()));
    EXPECT_NE(a.identifier(), b.identifier());
    EXPECT_EQ(a.name(), "unknown");
    EXPECT_EQ(a.dictionaryRepresentation(), json::object());
    EXPECT_FALSE(a.triggersFlush());
}

TEST(PLRCustomEvent, PayloadMatchesKeyByKey) {
    ScopedWallClock clock(std::make_shared<FixedWallClock>(kNow));
    PLRCustomEvent event(
        "lesson",
        attrs({{"layout", "dvorak"}, {"wpm", int64_t(42)}, {"accuracy", 0.97}, {"hard", true}}));
    const json payload = throughJsonTool(event.dictionaryRepresentation());
    EXPECT_EQ(keys(payload),
              (std::vector<std::string>{"eventId", "custom_type", "custom_attributes"}));
    EXPECT_EQ(payload["eventId"], event.identifier());
    EXPECT_EQ(payload["custom_type"], "lesson");
    EXPECT_EQ(payload["custom_attributes"],
              json::parse(R"({"layout":"dvorak","wpm":42,"accuracy":0.97,"hard":true})"));
    EXPECT_EQ(event.name(), "custom");
    EXPECT_EQ(event.timestamp(), kNow);
    EXPECT_FALSE(event.triggersFlush());
}

TEST(PLRCustomEvent, AttributesAreCheckedEachTimeAndKeptAsGiven) {
    LogCapture log;
    plist::Dictionary many;
    for (int i = 0; i < 22; ++i) many.set("k" + std::to_string(i), plist::Value("v"));
    PLRCustomEvent event("x", many);
    EXPECT_EQ(event.dictionaryRepresentation()["custom_attributes"].size(), 21u);
    event.dictionaryRepresentation();
    // One refusal per payload made: the check runs again, the caller's dictionary is whole.
    EXPECT_EQ(log.lines(LogChannel::System).size(), 2u);
    EXPECT_EQ(event.customAttributes()->size(), 22u);
    event.setCustomAttributes(attrs({{"only", "one"}}));
    EXPECT_EQ(event.dictionaryRepresentation()["custom_attributes"],
              json::parse(R"({"only":"one"})"));
}

TEST(PLRCustomEvent, MissingNameOrAttributes) {
    PLRCustomEvent noAttributes("x", std::nullopt);
    EXPECT_EQ(noAttributes.dictionaryRepresentation()["custom_attributes"], json::object());
    PLRCustomEvent noName(std::nullopt, attrs({{"a", "b"}}));
    const json payload = noName.dictionaryRepresentation();
    EXPECT_EQ(keys(payload), (std::vector<std::string>{"eventId", "custom_attributes"}));
    PLRCustomEvent badName("bad\xFF", std::nullopt);
    EXPECT_EQ(badName.dictionaryRepresentation()["custom_type"], "bad\xEF\xBF\xBD");
    EXPECT_NO_THROW(badName.dictionaryRepresentation().dump());
}

TEST(PLRCrashEvent, TimestampIsTheCrashDate) {
    ScopedWallClock clock(std::make_shared<FixedWallClock>(kNow));
    const auto crashed = kNow - std::chrono::hours(5);
    struct Case {
        uint64_t state;
        const char* text;
    };
    const std::vector<Case> cases = {{0, "unknown"},
                                     {1, "foreground"},
                                     {2, "background"},
                                     {3, "unknown"},
                                     {UINT64_MAX, "unknown"}};
    std::vector<std::unique_ptr<PLRCrashEvent>> events;
    json payloads = json::array();
    for (const Case& c : cases) {
        events.push_back(std::make_unique<PLRCrashEvent>(crashed, c.state));
        payloads.push_back(events.back()->dictionaryRepresentation());
    }
    payloads = throughJsonTool(payloads);
    for (size_t i = 0; i < cases.size(); ++i) {
        const auto& event = *events[i];
        EXPECT_EQ(event.timestamp(), crashed);
        EXPECT_EQ(event.name(), "app_crashed");
        EXPECT_FALSE(event.triggersFlush());
        EXPECT_EQ(keys(payloads[i]), (std::vector<std::string>{"eventId", "crash_state"}));
        EXPECT_EQ(payloads[i]["eventId"], event.identifier());
        EXPECT_EQ(payloads[i]["crash_state"], cases[i].text) << cases[i].state;
    }
}

TEST(PLRLifecycleEvent, NamesAndTheFlushRule) {
    struct Case {
        std::shared_ptr<PLRLifecycleEvent> event;
        const char* name;
        bool flush;
    };
    auto fromNotification = [](const char* name) {
        return PLRLifecycleEvent::eventWithNotification(Notification{name});
    };
    const Case cases[] = {
        {PLRLifecycleEvent::installEvent(), "app_installed", true},
        {PLRLifecycleEvent::appLaunchedEvent(), "app_launched", false},
        {fromNotification("NSApplicationWillTerminateNotification"), "app_terminated", false},
        {fromNotification("NSApplicationWillResignActiveNotification"), "app_became_inactive",
         true},
        {fromNotification("NSApplicationDidBecomeActiveNotification"), "app_became_active", true},
        {fromNotification("NSApplicationDidHideNotification"), "unknown-notification", false},
        {std::make_shared<PLRLifecycleEvent>(std::string("app_memory_warning")),
         "app_memory_warning", false},
    };
    json payloads = json::array();
    for (const auto& c : cases) payloads.push_back(c.event->dictionaryRepresentation());
    payloads = throughJsonTool(payloads);
    size_t i = 0;
    for (const auto& c : cases) {
        EXPECT_EQ(c.event->name(), c.name);
        EXPECT_EQ(c.event->triggersFlush(), c.flush) << c.name;
        const json& payload = payloads[i++];
        EXPECT_EQ(keys(payload), std::vector<std::string>{"eventId"});
        EXPECT_EQ(payload["eventId"], c.event->identifier());
    }
}

TEST(PLRPredefinedEvent, PurchasePayloadMatchesKeyByKey) {
    ScopedWallClock clock(std::make_shared<FixedWallClock>(kNow));
    auto event = PLRPredefinedEvent::purchaseEventWithPrice(
        Decimal::fromString("9.99"), plist::Value("EUR"), plist::Value(true),
        plist::Value("Course"), plist::Value("lesson"), plist::Value("c-1"), std::nullopt);
    const json payload = throughJsonTool(event->dictionaryRepresentation());
    EXPECT_EQ(keys(payload),
              (std::vector<std::string>{"eventId", "predefined_type", "custom_attributes",
                                        "predefined_attributes"}));
    EXPECT_EQ(payload["eventId"], event->identifier());
    EXPECT_EQ(payload["predefined_type"], "purchase");
    EXPECT_EQ(payload["custom_attributes"], json::object());
    EXPECT_EQ(payload["predefined_attributes"].dump(),
              R"({"item_price":9990000,"currency":"EUR","success":"true","item_name":"Course",)"
              R"("item_type":"lesson","item_id":"c-1"})");
    EXPECT_EQ(event->name(), "predefined");
    EXPECT_EQ(event->timestamp(), kNow);
    EXPECT_FALSE(event->triggersFlush());
}

TEST(PLRPredefinedEvent, EveryFactoryNamesItsTypeAndFilesItsArguments) {
    using P = PLRPredefinedEvent;
    const plist::Value t("t"), n(int64_t(0));
    const Decimal price = Decimal::fromString("1.5");
    const auto custom = attrs({{"mine", "yes"}});
    struct Case {
        P::Ptr event;
        const char* type;
        const char* predefined;  // JSON of the predefined attributes
    };
    const Case cases[] = {
        {P::signUpEventWithMethod(t, n, custom), "sign_up", R"({"method":"t","success":"false"})"},
        {P::loginEventWithMethod(t, plist::Value(int64_t(2)), custom), "login",
         R"({"method":"t","success":"true"})"},
        {P::shareEventWithMethod(t, t, t, n, custom), "share",
         R"({"method":"t","content_name":"t","content_type":"t","content_id":0})"},
        {P::inviteEventWithMethod(t, custom), "invite", R"({"method":"t"})"},
        {P::purchaseEventWithPrice(price, t, n, t, t, t, custom), "purchase",
         R"({"item_price":1500000,"currency":"t","success":"false","item_name":"t","item_type":"t","item_id":"t"})"},
        {P::levelStartEventWithLevelName(t, custom), "level_start", R"({"level_name":"t"})"},
        {P::levelEndEventWithLevelName(t, plist::Value(int64_t(97)), n, custom), "level_end",
         R"({"level_name":"t","score":97,"success":"false"})"},
        {P::addToCartEventWithPrice(price, t, t, t, t, custom), "add_to_cart",
         R"({"item_price":1500000,"currency":"t","item_name":"t","item_type":"t","item_id":"t"})"},
        {P::startCheckoutEventWithPrice(price, t, plist::Value(int64_t(3)), custom),
         "start_checkout", R"({"total_price":1500000,"currency":"t","item_count":3})"},
        {P::ratingEventWithRating(plist::Value(int64_t(5)), t, t, t, custom), "rating",
         R"({"rating":5,"content_name":"t","content_type":"t","content_id":"t"})"},
        {P::contentViewEventWithName(t, t, t, custom), "content_view",
         R"({"content_name":"t","content_type":"t","content_id":"t"})"},
        {P::searchEventWithQuery(t, custom), "search", R"({"query":"t"})"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.event->predefinedEventName(), c.type);
        EXPECT_EQ(c.event->name(), "predefined") << c.type;
        const json payload = c.event->dictionaryRepresentation();
        EXPECT_EQ(payload["predefined_type"], c.type);
        EXPECT_EQ(payload["predefined_attributes"].dump(), c.predefined) << c.type;
        EXPECT_EQ(payload["custom_attributes"].dump(), R"({"mine":"yes"})") << c.type;
    }
}

TEST(PLRPredefinedEvent, MissingArgumentsAreLeftOut) {
    LogCapture log;
    auto event = PLRPredefinedEvent::levelEndEventWithLevelName(
        plist::Value("Home row"), std::nullopt, std::nullopt, std::nullopt);
    EXPECT_EQ(event->dictionaryRepresentation()["predefined_attributes"].dump(),
              R"({"level_name":"Home row"})");
    EXPECT_TRUE(log.lines().empty());
}

}  // namespace
}  // namespace wv
