#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "platform/foundation/ClassRegistry.h"
#include "platform/foundation/Log.h"
#include "sdk/core/Tarnel.h"
#include "sdk/crash/context/tests/CrashTestSupport.h"
#include "sdk/crash/report/QXOVCAnalytics.h"

namespace wv {
namespace {

using json = nlohmann::json;

// Stands in for the Orvelle Analytics library: records what the crash kit hands it.
struct FakeOrvelle {
    struct Sent {
        std::string origin;
        std::string name;
        json parameters;
    };
    std::vector<Sent> sent;
    std::vector<ORVALogEventListener> listeners;

    std::shared_ptr<const ORVAnalyticsClass> makeClass(bool canLog, bool canListen) {
        auto cls = std::make_shared<ORVAnalyticsClass>();
        if (canLog) {
            cls->logInternalEventWithOrigin = [this](const std::string& origin,
                                                     const std::string& name, const json& p) {
                sent.push_back({origin, name, p});
            };
        }
        if (canListen) {
            cls->addLogEventListener = [this](ORVALogEventListener l) {
                listeners.push_back(std::move(l));
            };
        }
        return cls;
    }
};

enum class Linked { Both, NoListener, NoLogging, None };

class QXOVCAnalyticsTest : public ::testing::Test {
  protected:
    QXOVCAnalyticsTest() { QXOVCAnalytics::resetClassLookupForTesting(); }
    ~QXOVCAnalyticsTest() override {
        Tarnel::sharedSDK().setInstallationMode(0);
        Tarnel::sharedSDK().setDebug(false);
        QXOVCAnalytics::resetClassLookupForTesting();
    }

    std::unique_ptr<ScopedClassRegistration> link(Linked linked) {
        QXOVCAnalytics::resetClassLookupForTesting();
        if (linked == Linked::None) return nullptr;
        return std::make_unique<ScopedClassRegistration>(
            ORVAnalyticsClass::kClassName,
            orvelle_.makeClass(linked != Linked::NoLogging, linked != Linked::NoListener));
    }

    FakeOrvelle orvelle_;
    LogCapture log_;
};

TEST_F(QXOVCAnalyticsTest, TheCrashEventGoesOutWhenAskedAndTheClassIsComplete) {
    struct Case {
        const char* what;
        Linked linked;
        bool orvelleMode;
        bool settingsSwitch;
        bool sent;
    };
    const Case cases[] = {
        {"switch on", Linked::Both, false, true, true},
        {"orvelle mode", Linked::Both, true, false, true},
        {"both", Linked::Both, true, true, true},
        {"neither", Linked::Both, false, false, false},
        {"class without the listener operation", Linked::NoListener, true, true, false},
        {"class without the logging operation", Linked::NoLogging, true, true, false},
        {"no class", Linked::None, true, true, false},
    };
    for (const auto& c : cases) {
        orvelle_.sent.clear();
        const auto registration = link(c.linked);
        Tarnel::sharedSDK().setInstallationMode(c.orvelleMode ? 2 : 1);
        QXOVCAnalytics::logCrashWithTimeStamp(1.5, c.settingsSwitch);
        ASSERT_EQ(orvelle_.sent.size(), c.sent ? 1u : 0u) << c.what;
        if (c.sent) {
            EXPECT_EQ(orvelle_.sent[0].origin, "qlx") << c.what;
            EXPECT_EQ(orvelle_.sent[0].name, "_ae") << c.what;
            EXPECT_EQ(orvelle_.sent[0].parameters,
                      json({{"timestamp", 1500}, {"_r", 1}, {"fatal", 1}}))
                << c.what;
        }
    }
}

TEST_F(QXOVCAnalyticsTest, TheDebugLineOnlyInDebugModeAndOnlyWhenSending) {
    const auto registration = link(Linked::Both);
    const std::string line = "[Quellix:Crash:Reports:Event] Sending event.";
    QXOVCAnalytics::logCrashWithTimeStamp(1, true);
    EXPECT_FALSE(log_.contains(line));
    Tarnel::sharedSDK().setDebug(true);
    QXOVCAnalytics::logCrashWithTimeStamp(1, false);
    EXPECT_FALSE(log_.contains(line));
    QXOVCAnalytics::logCrashWithTimeStamp(1, true);
    EXPECT_EQ(log_.count(line), 1u);
    EXPECT_EQ(orvelle_.sent.size(), 2u);
}

TEST_F(QXOVCAnalyticsTest, TheSwitchAloneWithoutAClassSendsNothingButSaysSo) {
    const auto registration = link(Linked::None);
    Tarnel::sharedSDK().setDebug(true);
    QXOVCAnalytics::logCrashWithTimeStamp(1, true);
    EXPECT_TRUE(log_.contains("[Quellix:Crash:Reports:Event] Sending event."));
    EXPECT_TRUE(orvelle_.sent.empty());
}

TEST_F(QXOVCAnalyticsTest, CrashTimesInMilliseconds) {
    const std::vector<std::pair<double, json>> cases = {
        {1.5, 1500},
        {0, 0},
        {0.0004, 0},
        {0.0006, 1},
        {1700000000.25, int64_t(1700000000250)},
        {-2.5, -2500},
        // No number and no representable time must not reach the conversion.
        {std::nan(""), 0},
        {1e300, std::numeric_limits<int64_t>::max()},
        {-1e300, std::numeric_limits<int64_t>::min()},
    };
    for (const auto& [seconds, milliseconds] : cases) {
        const json params = QXOVCAnalytics::buildLogParamsFromCrash(seconds);
        EXPECT_EQ(params, json({{"timestamp", milliseconds}, {"_r", 1}, {"fatal", 1}}))
            << seconds;
        EXPECT_TRUE(params["timestamp"].is_number_integer()) << seconds;
    }
}

TEST_F(QXOVCAnalyticsTest, TheListenerIsAddedOnlyToACompleteClass) {
    const std::string line =
        "[Quellix:Crash:Reports:Event] Registered Orvelle Analytics event listener";
    for (const Linked linked : {Linked::NoListener, Linked::NoLogging, Linked::None}) {
        orvelle_.listeners.clear();
        const auto registration = link(linked);
        Tarnel::sharedSDK().setDebug(true);
        QXOVCAnalytics::registerAnalyticsEventListener([](const ORVAEvent&) {});
        EXPECT_TRUE(orvelle_.listeners.empty());
    }
    EXPECT_FALSE(log_.contains(line));

    const auto registration = link(Linked::Both);
    std::vector<json> received;
    QXOVCAnalytics::registerAnalyticsEventListener([&](const ORVAEvent& event) {
        if (auto dictionary = QXORVAEventToDictionary(event)) received.push_back(*dictionary);
    });
    ASSERT_EQ(orvelle_.listeners.size(), 1u);
    EXPECT_EQ(log_.count(line), 1u);
    ORVAEvent event;
    event.name = "level_start";
    event.parameters["level"] = {ORVAValue::kInt64, 0, 3, ""};
    orvelle_.listeners[0](event);
    EXPECT_EQ(received, std::vector<json>{json({{"name", "level_start"},
                                                {"parameters", {{"level", 3}}}})});
}

TEST_F(QXOVCAnalyticsTest, TheListenerLineOnlyInDebugMode) {
    const auto registration = link(Linked::Both);
    QXOVCAnalytics::registerAnalyticsEventListener([](const ORVAEvent&) {});
    EXPECT_EQ(orvelle_.listeners.size(), 1u);
    EXPECT_TRUE(log_.lines().empty());
}

TEST(QXORVConversions, ValuesByType) {
    struct Case {
        ORVAValue value;
        std::optional<json> converted;
    };
    const Case cases[] = {
        {{ORVAValue::kDouble, 2.5, 7, "s"}, json(2.5)},
        {{ORVAValue::kInt64, 2.5, std::numeric_limits<int64_t>::max(), "s"},
         json(std::numeric_limits<int64_t>::max())},
        {{ORVAValue::kString, 2.5, 7, "text"}, json("text")},
        {{ORVAValue::kString, 0, 0, ""}, json("")},
        {{3, 2.5, 7, "s"}, std::nullopt},
        {{-1, 2.5, 7, "s"}, std::nullopt},
    };
    for (const auto& c : cases) {
        test::ScopedLogContext scope;
        const auto converted = QXORVValueToAllowableType(c.value);
        EXPECT_EQ(converted, c.converted) << c.value.valueType;
        if (c.converted) {
            // A double stays a double and an integer an integer.
            EXPECT_EQ(converted->type(), c.converted->type()) << c.value.valueType;
            EXPECT_EQ(scope.log(), "");
        } else {
            EXPECT_NE(scope.log().find("Unexpected ORVAValue type"), std::string::npos);
        }
    }
}

TEST(QXORVConversions, AnUnknownParameterIsDroppedAndTheOthersStay) {
    test::ScopedLogContext scope;
    ORVAEvent event;
    event.name = "purchase";
    event.parameters["price"] = {ORVAValue::kDouble, 9.99, 0, ""};
    event.parameters["count"] = {ORVAValue::kInt64, 0, 2, ""};
    event.parameters["currency"] = {ORVAValue::kString, 0, 0, "EUR"};
    event.parameters["strange"] = {42, 1, 1, "x"};
    EXPECT_EQ(QXORVAEventToDictionary(event),
              json({{"name", "purchase"},
                    {"parameters", {{"price", 9.99}, {"count", 2}, {"currency", "EUR"}}}}));
    EXPECT_NE(scope.log().find("Unexpected ORVAValue type"), std::string::npos);
    EXPECT_EQ(QXORVAParametersToDictionary({}), json::object());
}

TEST(QXORVConversions, AnEventWithoutANameGivesNothing) {
    test::ScopedLogContext scope;
    ORVAEvent event;
    event.parameters["a"] = {ORVAValue::kString, 0, 0, "b"};
    EXPECT_FALSE(QXORVAEventToDictionary(event));
    EXPECT_NE(scope.log().find("Event name is nil"), std::string::npos);
    event.name = "";
    EXPECT_EQ(QXORVAEventToDictionary(event),
              json({{"name", ""}, {"parameters", {{"a", "b"}}}}));
}

}  // namespace
}  // namespace wv
