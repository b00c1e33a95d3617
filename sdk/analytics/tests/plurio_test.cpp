// The kit's public face, over an SDK core and root of the test's own.
#include <gtest/gtest.h>

#include <thread>

#include "KitFixtures.h"
#include "platform/foundation/ClassRegistry.h"
#include "sdk/analytics/PLRMetadata.h"
#include "sdk/analytics/Plurio.h"
#include "sdk/core/TRNPlurioOperations.h"

namespace wv {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;
using Names = std::vector<std::string>;

class PlurioTest : public ::testing::Test {
  protected:
    PlurioTest() : plurio_(run_.sdk(), run_.root()), shared_(plurio_) {}
    void idle() {
        if (auto c = plurio_.plurioController()) testing::waitIdle(*c);
    }

    testing::KitRun run_;
    Plurio plurio_;
    Plurio::ScopedSharedInstance shared_;
};

TEST_F(PlurioTest, StartsOnceWithTheFirstToken) {
    testing::KitLog log;
    run_.sdk().setDebug(true);  // the start takes the kit's debug switch from the SDK core
    Plurio::startWithBetaToken("2:FIRST");
    auto controller = plurio_.plurioController();
    ASSERT_NE(controller, nullptr);
    Plurio::startWithBetaToken("2:SECOND");
    plurio_.startInstanceWithBetaToken("2:THIRD");
    EXPECT_EQ(plurio_.plurioController(), controller);
    idle();
    EXPECT_EQ(controller->metadata()->betaToken(), std::optional<std::string>("FIRST"));
    EXPECT_EQ(log.count("[Plurio] Initialized"), 1u);
}

TEST_F(PlurioTest, NothingHappensBeforeStart) {
    testing::KitLog log;
    Plurio::logLevelStart("one", std::nullopt);
    Plurio::logCustomEventWithName("x", std::nullopt);
    Plurio::logPreviousSessionCrashedOnDate(plist::Date{});
    EXPECT_EQ(plurio_.plurioController(), nullptr);
    EXPECT_FALSE(fs::exists(run_.root()));
    EXPECT_TRUE(log.lines().empty());
    EXPECT_TRUE(Plurio::waitForPendingEvents(std::chrono::milliseconds(0)));
}

// The four calls the application makes, as stored.
TEST_F(PlurioTest, ApplicationCallsAreStoredAsTheirEvents) {
    Plurio::startWithBetaToken(std::nullopt);
    plist::Dictionary attributes;
    attributes.set("layout", "qwerty");
    attributes.set("wpm", int64_t(41));
    attributes.set("accuracy", 0.98);
    Plurio::logLevelStart("Home row", attributes);
    Plurio::logLevelEnd("Home row", int64_t(97), true, attributes);
    Plurio::logContentViewWithName("Statistics", "screen", std::nullopt, std::nullopt);
    Plurio::logCustomEventWithName("firstLaunch", std::nullopt);
    idle();
    const auto lines = testing::readEventFile(plurio_.plurioController()->currentLogURL());
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(testing::lineNames(lines),
              (Names{"metadata", "app_launched", "predefined", "predefined", "predefined",
                     "custom"}));
    const json custom = {{"layout", "qwerty"}, {"wpm", 41}, {"accuracy", 0.98}};
    EXPECT_EQ(lines[2].payload["predefined_type"], "level_start");
    EXPECT_EQ(lines[2].payload["predefined_attributes"], (json{{"level_name", "Home row"}}));
    EXPECT_EQ(lines[2].payload["custom_attributes"], custom);
    EXPECT_EQ(lines[3].payload["predefined_type"], "level_end");
    EXPECT_EQ(lines[3].payload["predefined_attributes"],
              (json{{"level_name", "Home row"}, {"score", 97}, {"success", "true"}}));
    EXPECT_EQ(lines[4].payload["predefined_attributes"],
              (json{{"content_name", "Statistics"}, {"content_type", "screen"}}));
    EXPECT_EQ(lines[5].payload["custom_type"], "firstLaunch");
    EXPECT_EQ(lines[5].payload["custom_attributes"], json::object());
    for (size_t i = 1; i < lines.size(); ++i) EXPECT_TRUE(lines[i].payload.contains("eventId"));
}

// In Orvelle mode the log calls are refused with one message each; the crash still counts.
TEST_F(PlurioTest, OrvelleModeRefusesLogCallsButRecordsTheCrash) {
    Plurio::startWithBetaToken(std::nullopt);
    idle();
    run_.sdk().setInstallationMode(2);
    testing::KitLog log;
    Plurio::logLevelStart("one", std::nullopt);
    Plurio::logCustomEventWithName("x", std::nullopt);
    Plurio::logPreviousSessionCrashedOnDate(plist::Date{} + std::chrono::hours(24 * 365 * 50));
    idle();
    EXPECT_EQ(log.count("[Plurio] logLevelStart:customAttributes: is not supported when using "
                        "Quellix through Orvelle."),
              1u);
    EXPECT_EQ(log.count("[Plurio] logCustomEventWithName:customAttributes: is not supported when "
                        "using Quellix through Orvelle."),
              1u);
    auto counts = run_.storedEventCounts();
    EXPECT_EQ(counts["level_start"], 0);
    EXPECT_EQ(counts["x"], 0);
    EXPECT_EQ(counts["app_crashed"], 1);
}

TEST_F(PlurioTest, NoCrashDateRecordsNothing) {
    Plurio::startWithBetaToken(std::nullopt);
    Plurio::logPreviousSessionCrashedOnDate(std::nullopt);
    idle();
    EXPECT_EQ(run_.storedEventCounts()["app_crashed"], 0);
}

// The SDK core starts the kits of its list: with the crash kit linked, the crash kit starts
// this one through its operations; alone, this kit starts itself.
TEST_F(PlurioTest, SdkStartAppendsTheKitAfterTheCrashKitWhichStartsIt) {
    int crashKitStarts = 0;
    TRNKitClass crashKit;
    crashKit.name = "Quellix";
    crashKit.declaresTRNKit = true;
    crashKit.bundleIdentifier = [] { return std::string("com.quellix.mac"); };
    crashKit.kitDisplayVersion = [] { return std::string("1.0"); };
    crashKit.initializeIfNeeded = [&] {
        ++crashKitStarts;
        if (auto plurio = TRNPlurioOperationsIfLinked()) plurio->startWithBetaToken(std::nullopt);
    };
    ScopedClassRegistration quellix("Quellix", static_cast<const TRNKitClass*>(&crashKit));
    ScopedClassRegistration plurio(TRNPlurioOperations::kClassName, &Plurio::kitClass());
    run_.sdk().start({&crashKit});
    const auto kits = run_.sdk().kitClasses();
    ASSERT_EQ(kits.size(), 2u);
    EXPECT_EQ(kits[1], &Plurio::kitClass());
    // The crash kit's start hook ran twice (its own, and once more from this kit's), starting
    // this kit once.
    EXPECT_EQ(crashKitStarts, 2);
    EXPECT_NE(plurio_.plurioController(), nullptr);
}

TEST_F(PlurioTest, WithoutTheCrashKitTheKitStartsItself) {
    ScopedClassRegistration noCrashKit("Quellix", std::any());
    ClassRegistry::shared().unregisterClass("Quellix");
    Plurio::initializeIfNeeded();
    EXPECT_NE(plurio_.plurioController(), nullptr);
}

// The operations the crash kit calls reach this kit.
TEST_F(PlurioTest, RegisteredOperationsReachTheKit) {
    ScopedClassRegistration plurio(TRNPlurioOperations::kClassName, &Plurio::kitClass());
    auto operations = TRNPlurioOperationsIfLinked();
    ASSERT_NE(operations, nullptr);
    EXPECT_EQ(Plurio::kitClass().bundleIdentifier(), "com.balvik.plurio.mac");
    EXPECT_EQ(Plurio::kitClass().kitDisplayVersion(), "1.3.7");
    EXPECT_EQ(Plurio::kitClass().kitBuildVersion(), "30");
    operations->startWithBetaToken(std::nullopt);
    plist::Dictionary attributes;
    attributes.set("kind", "test");
    operations->logCustomEventWithName("from crash kit", attributes);
    operations->logPreviousSessionCrashedOnDate(plist::Date{} + std::chrono::hours(1));
    idle();
    auto counts = run_.storedEventCounts();
    EXPECT_EQ(counts["from crash kit"], 1);
    EXPECT_EQ(counts["app_crashed"], 1);
}

// Quitting posts the terminate notification and then waits, bounded, for the kit's queue:
// the event is on disk when the wait returns.
TEST_F(PlurioTest, TerminationEventIsOnDiskAfterTheWait) {
    Plurio::startWithBetaToken(std::nullopt);
    NotificationCenter::defaultCenter().post("NSApplicationWillTerminateNotification");
    ASSERT_TRUE(Plurio::waitForPendingEvents(std::chrono::seconds(20)));
    const auto lines = testing::readEventFile(plurio_.plurioController()->currentLogURL());
    EXPECT_EQ(testing::lineNames(lines), (Names{"metadata", "app_launched", "app_terminated"}));
}

TEST_F(PlurioTest, TheWaitEndsWhenItsTimeRunsOut) {
    Plurio::startWithBetaToken(std::nullopt);
    idle();
    auto controller = plurio_.plurioController();
    controller->eventQueue()->setSuspended(true);
    Plurio::logCustomEventWithName("held", std::nullopt);
    EXPECT_FALSE(Plurio::waitForPendingEvents(std::chrono::milliseconds(50)));
    controller->eventQueue()->setSuspended(false);
    idle();
    EXPECT_EQ(run_.storedEventCounts()["held"], 1);
}

// Log calls from several threads while the kit starts: each call made after the start is
// stored once, none twice.
TEST_F(PlurioTest, LogCallsDuringStartAreNeitherLostNorDoubled) {
    constexpr int kThreads = 4;
    constexpr int kEach = 200;
    std::vector<std::vector<bool>> afterStart(kThreads, std::vector<bool>(kEach));
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            ++ready;
            for (int i = 0; i < kEach; ++i) {
                afterStart[t][i] = plurio_.plurioController() != nullptr;
                Plurio::logCustomEventWithName(std::to_string(t) + "-" + std::to_string(i),
                                               std::nullopt);
            }
        });
    }
    while (ready.load() < kThreads) std::this_thread::yield();
    Plurio::startWithBetaToken(std::nullopt);
    for (auto& th : threads) th.join();
    idle();
    auto counts = run_.storedEventCounts();
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kEach; ++i) {
            const int n = counts[std::to_string(t) + "-" + std::to_string(i)];
            EXPECT_LE(n, 1);
            if (afterStart[t][i]) EXPECT_EQ(n, 1) << t << "-" << i;
        }
}

}  // namespace
}  // namespace wv
