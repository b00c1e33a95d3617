// The translation of the kit's events into Orvelle Analytics events.
#include <gtest/gtest.h>

#include "platform/foundation/ClassRegistry.h"
#include "platform/foundation/Log.h"
#include "sdk/analytics/PLRCrashEvent.h"
#include "sdk/analytics/PLRCustomEvent.h"
#include "sdk/analytics/PLRLifecycleEvent.h"
#include "sdk/analytics/PLROrvelleAnalyticsBridge.h"
#include "sdk/analytics/PLRPredefinedEvent.h"
#include "sdk/analytics/PLRStubsForORVAnalytics.h"
#include "sdk/core/ORVAnalyticsClass.h"

namespace wv {
namespace {

using json = nlohmann::json;
using Bridge = PLROrvelleAnalyticsBridge;

struct Sent {
    std::string origin;
    std::string name;
    json parameters;
};

class BridgeTest : public ::testing::Test {
  protected:
    BridgeTest() {
        auto orvelle = std::make_shared<ORVAnalyticsClass>();
        orvelle->logInternalEventWithOrigin = [this](const std::string& origin,
                                                     const std::string& name, const json& p) {
            sent_.push_back({origin, name, p});
        };
        bridge_ = std::make_unique<Bridge>(orvelle);
    }
    std::vector<Sent> sent_;
    std::unique_ptr<Bridge> bridge_;
};

TEST_F(BridgeTest, PredefinedNamesAndKeysFollowTheTables) {
    struct Case {
        PLRPredefinedEvent::Ptr event;
        std::string name;
        json parameters;
    };
    const std::vector<Case> cases = {
        {PLRPredefinedEvent::contentViewEventWithName("Lesson", "screen", "L1", std::nullopt),
         "select_content",
         {{"content_type", "screen"}, {"item_id", "L1"}, {"item_name", "Lesson"}}},
        {PLRPredefinedEvent::shareEventWithMethod("mail", "n", "t", "i", std::nullopt),
         "share",
         {{"content_type", "t"}, {"item_id", "i"}, {"item_name", "n"}, {"method", "mail"}}},
        {PLRPredefinedEvent::searchEventWithQuery("home row", std::nullopt),
         "search",
         {{"search_term", "home row"}}},
        {PLRPredefinedEvent::startCheckoutEventWithPrice(Decimal::fromString("12.5"), "EUR",
                                                         int64_t(3), std::nullopt),
         "begin_checkout",
         {{"currency", "EUR"}, {"value", 12.5}, {"quantity", 3}}},
        {PLRPredefinedEvent::ratingEventWithRating(int64_t(4), "n", "t", "i", std::nullopt),
         "rate_content",
         {{"rating", 4}, {"content_type", "t"}, {"item_id", "i"}, {"item_name", "n"}}},
        {PLRPredefinedEvent::levelStartEventWithLevelName("one", std::nullopt),
         "level_start",
         {{"level_name", "one"}}},
        {PLRPredefinedEvent::inviteEventWithMethod("link", std::nullopt),
         "invite",
         {{"method", "link"}}},
        {PLRPredefinedEvent::signUpEventWithMethod("mail", true, std::nullopt),
         "sign_up",
         {{"method", "mail"}}},
        {PLRPredefinedEvent::loginEventWithMethod("mail", true, std::nullopt),
         "login",
         {{"method", "mail"}}},
    };
    for (const auto& c : cases) {
        sent_.clear();
        bridge_->logEvent(*c.event);
        ASSERT_EQ(sent_.size(), 1u) << c.name;
        EXPECT_EQ(sent_[0].origin, "trn");
        EXPECT_EQ(sent_[0].name, c.name);
        EXPECT_EQ(sent_[0].parameters, c.parameters) << c.name;
    }
}

// A failed failable event keeps only its custom parameters; a successful purchase loses its
// success flag and has its price as a double.
TEST_F(BridgeTest, FailedAndSuccessfulPurchases) {
    plist::Dictionary extra;
    extra.set("coupon", "SPRING");
    bridge_->logEvent(*PLRPredefinedEvent::purchaseEventWithPrice(
        Decimal::fromString("9.99"), "EUR", false, "Pack", "lessons", "P1", extra));
    bridge_->logEvent(*PLRPredefinedEvent::purchaseEventWithPrice(
        Decimal::fromString("9.99"), "EUR", true, "Pack", "lessons", "P1", std::nullopt));
    bridge_->logEvent(*PLRPredefinedEvent::loginEventWithMethod("mail", false, std::nullopt));
    ASSERT_EQ(sent_.size(), 3u);
    EXPECT_EQ(sent_[0].name, "failed_ecommerce_purchase");
    EXPECT_EQ(sent_[0].parameters, (json{{"coupon", "SPRING"}}));
    EXPECT_EQ(sent_[1].name, "ecommerce_purchase");
    EXPECT_EQ(sent_[1].parameters, (json{{"currency", "EUR"},
                                         {"item_category", "lessons"},
                                         {"item_id", "P1"},
                                         {"item_name", "Pack"},
                                         {"value", 9.99}}));
    EXPECT_TRUE(sent_[1].parameters["value"].is_number_float());
    EXPECT_EQ(sent_[2].name, "failed_login");
    EXPECT_EQ(sent_[2].parameters, json::object());
}

TEST_F(BridgeTest, LevelEndGoesTwiceWithSuccessAsANumber) {
    for (bool success : {true, false}) {
        sent_.clear();
        bridge_->logEvent(*PLRPredefinedEvent::levelEndEventWithLevelName(
            "one", int64_t(97), success, std::nullopt));
        const json expected = {{"level_name", "one"}, {"score", 97}, {"success", success ? 1 : 0}};
        ASSERT_EQ(sent_.size(), 2u);
        EXPECT_EQ(sent_[0].name, "level_end");
        EXPECT_EQ(sent_[1].name, "post_score");
        EXPECT_EQ(sent_[0].parameters, expected);
        EXPECT_EQ(sent_[1].parameters, expected);
    }
}

TEST_F(BridgeTest, AddToCartCarriesQuantityAndValue) {
    bridge_->logEvent(*PLRPredefinedEvent::addToCartEventWithPrice(
        Decimal::fromString("2.5"), "USD", "Pack", "lessons", "P1", std::nullopt));
    bridge_->logEvent(*PLRPredefinedEvent::addToCartEventWithPrice(
        std::nullopt, "USD", "Pack", std::nullopt, std::nullopt, std::nullopt));
    ASSERT_EQ(sent_.size(), 2u);
    EXPECT_EQ(sent_[0].parameters, (json{{"item_category", "lessons"},
                                         {"item_id", "P1"},
                                         {"item_name", "Pack"},
                                         {"price", 2.5},
                                         {"currency", "USD"},
                                         {"quantity", 1},
                                         {"value", 2.5}}));
    EXPECT_EQ(sent_[1].parameters,
              (json{{"item_name", "Pack"}, {"currency", "USD"}, {"quantity", 1}}));
}

TEST_F(BridgeTest, PredefinedParametersWinOverCustomOnes) {
    plist::Dictionary extra;
    extra.set("method", "custom value");
    extra.set("first_open", int64_t(1));
    bridge_->logEvent(*PLRPredefinedEvent::inviteEventWithMethod("link", extra));
    ASSERT_EQ(sent_.size(), 1u);
    EXPECT_EQ(sent_[0].parameters, (json{{"method", "link"}, {"tarnel_first_open", 1}}));
}

TEST_F(BridgeTest, CustomEventsAreSanitisedWithRawAttributes) {
    plist::Dictionary attributes;
    attributes.set("a b", "x");
    attributes.set("a-b", "y");  // sanitises to the same name: the later one wins
    attributes.set("", true);
    bridge_->logEvent(PLRCustomEvent("Lesson done!", attributes));
    ASSERT_EQ(sent_.size(), 1u);
    EXPECT_EQ(sent_[0].name, "Lesson_done_");
    EXPECT_EQ(sent_[0].parameters, (json{{"a_b", "y"}, {"tarnel_unnamed_parameter", 1}}));
}

TEST(BridgeNames, Sanitising) {
    const std::string sixty(60, 'a');
    const std::vector<std::pair<std::optional<std::string>, std::string>> events = {
        {"Lesson done!", "Lesson_done_"},
        {"a  \t b", "a_b"},
        {"1st lesson", "tarnel_1st_lesson"},
        {"_private", "tarnel__private"},
        {"ha_event", "tarnel_ha_event"},
        {"orvelle_x", "tarnel_orvelle_x"},
        {"halvard_x", "tarnel_halvard_x"},
        {"error", "tarnel_error"},
        {"screen_view", "tarnel_screen_view"},
        {"errors", "errors"},
        {sixty, std::string(40, 'a')},
        {"9" + sixty, "tarnel_9" + std::string(32, 'a')},
        {std::nullopt, "tarnel_unnamed_event"},
        {"", "tarnel_unnamed_event"},
        // Letters and digits of any script stay; marks and symbols do not lead.
        {"Урок завершён", "Урок_завершён"},
        {"レッスン完了", "レッスン完了"},
        {"٣ دروس", "tarnel_٣_دروس"},
        {"\xCC\x81" "abc", "tarnel__abc"},
        {"a\xFF" "b", "a_b"},
        {"émoji 😀 end", "émoji_end"},
    };
    for (const auto& [in, out] : events)
        EXPECT_EQ(Bridge::sanitizeEventName(in), out) << in.value_or("(none)");
    EXPECT_EQ(Bridge::sanitizeAttributeName(""), "tarnel_unnamed_parameter");
    EXPECT_EQ(Bridge::sanitizeAttributeName("first_open"), "tarnel_first_open");
    EXPECT_EQ(Bridge::sanitizeKeyName(""), "");
    // Cut by UTF-16 units, never inside a pair: 39 letters then a character outside the BMP.
    const std::string cut = Bridge::sanitizeEventName(std::string(39, 'a') + "𝒜𝒜");
    EXPECT_EQ(cut, std::string(39, 'a'));
    EXPECT_EQ(Bridge::orvelleReservedKeys().size(), 26u);
}

TEST_F(BridgeTest, OnlyCustomAndPredefinedEventsGoOut) {
    bridge_->logEvent(PLRLifecycleEvent(std::string("app_launched")));
    bridge_->logEvent(PLRCrashEvent(WallClock::TimePoint{}, 1));
    EXPECT_TRUE(sent_.empty());
}

TEST(BridgeLookup, UsesOnlyARegisteredClassThatCanLog) {
    {
        PLROrvelleAnalyticsBridge absent;
        EXPECT_EQ(absent.orvelleAnalytics(), nullptr);
        LogCapture capture;
        absent.logEvent(PLRCustomEvent("x", std::nullopt));  // nothing, no message
        EXPECT_TRUE(capture.lines().empty());
    }
    auto mute = std::make_shared<ORVAnalyticsClass>();  // offers no logging
    {
        ScopedClassRegistration r(ORVAnalyticsClass::kClassName,
                                  std::shared_ptr<const ORVAnalyticsClass>(mute));
        EXPECT_EQ(PLROrvelleAnalyticsBridge().orvelleAnalytics(), nullptr);
    }
    int calls = 0;
    auto able = std::make_shared<ORVAnalyticsClass>();
    able->logInternalEventWithOrigin = [&](const std::string&, const std::string&, const json&) {
        ++calls;
    };
    ScopedClassRegistration r(ORVAnalyticsClass::kClassName,
                              std::shared_ptr<const ORVAnalyticsClass>(able));
    PLROrvelleAnalyticsBridge bridge;
    bridge.logEvent(PLRCustomEvent("x", std::nullopt));
    EXPECT_EQ(calls, 1);
}

TEST(BridgeStub, OnlyPrintsItsWarning) {
    LogCapture capture;
    PLRStubsForORVAnalytics::logInternalEventWithOrigin("trn", "x", json::object());
    EXPECT_EQ(capture.lines(), std::vector<std::string>{"Stub only. Do not use."});
}

}  // namespace
}  // namespace wv
