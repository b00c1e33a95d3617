// The analytics controller on a temporary root, over an SDK core of the test's own.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "KitFixtures.h"
#include "UploadFixtures.h"
#include "platform/dispatch/ManualRunLoop.h"
#include "platform/foundation/ClassRegistry.h"
#include "sdk/analytics/PLRCrashEvent.h"
#include "sdk/analytics/PLRCompressLogOperation.h"
#include "sdk/analytics/PLRCrashMetadata.h"
#include "sdk/analytics/PLRCustomEvent.h"
#include "sdk/analytics/PLRLifecycleEvent.h"
#include "sdk/analytics/PLRPredefinedEvent.h"
#include "sdk/analytics/PLRUploader.h"
#include "sdk/analytics/PLRWriteEventOperation.h"
#include "sdk/core/ORVAnalyticsClass.h"
#include "sdk/core/TRNNetworkResponseHandler.h"

namespace wv {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;
using testing::KitRun;
using testing::waitIdle;
using Names = std::vector<std::string>;

std::shared_ptr<PLRCustomEvent> custom(const std::string& name) {
    return std::make_shared<PLRCustomEvent>(name, std::nullopt);
}

class ControllerTest : public ::testing::Test {
  protected:
    ~ControllerTest() override {
        if (controller_) controller_->waitUntilEventQueueIdle(std::chrono::seconds(30));
    }
    void start() {
        controller_ = PLRPlurioController::create(run_.sdk(), std::nullopt, run_.root());
        waitIdle(*controller_);
    }
    void log(std::shared_ptr<PLREvent> event) {
        controller_->logEvent(std::move(event));
        waitIdle(*controller_);
    }
    void postLifecycle(const char* name) {
        NotificationCenter::defaultCenter().post(name);
        waitIdle(*controller_);
    }
    Names currentLog() const {
        Names names;
        for (const auto& l : testing::readEventFile(controller_->currentLogURL()))
            names.push_back(testing::label(l));
        return names;
    }

    ManualRunLoop loop_;
    KitRun run_;
    std::shared_ptr<PLRPlurioController> controller_;
};

// The first run of an installation: the install event goes out alone at once, the launch
// waits in a fresh log; what an earlier run left is resumed, and the clean-up that resumes it
// never takes this run's files.
TEST_F(ControllerTest, FirstStartQueuesInstallThenLaunchAndResumesOnlyEarlierFiles) {
    {
        testing::EchoMetadata metadata;
        fs::create_directories(run_.eventsDir());
        PLRWriteEventOperation(custom("left-over"), metadata, run_.eventsDir() / "OLD.log").main();
    }
    ASSERT_TRUE(run_.sdk().isFirstInstall());
    start();
    EXPECT_EQ(run_.bodies(), (std::vector<Names>{{"app_installed"}, {"left-over"}}));
    EXPECT_EQ(currentLog(), (Names{"metadata", "app_launched"}));
    EXPECT_EQ(run_.files("log"), std::vector<fs::path>{controller_->currentLogURL()});
    EXPECT_EQ(controller_->settings()->valid(), false);
    EXPECT_EQ(controller_->flushTimer(), nullptr);
}

// An event that finds the log at the limit leaves it; one byte more and the event closes it.
TEST_F(ControllerTest, RotatesOnlyALogLargerThanTheLimitWithTheEventAsItsLastLine) {
    run_.setSettings({{"analytics", {{"max_byte_size_per_file", 2000}}}});
    start();
    const fs::path first = controller_->currentLogURL();
    testing::padLogTo(first, 2000);
    log(custom("at-limit"));
    EXPECT_EQ(controller_->currentLogURL(), first);
    EXPECT_EQ(currentLog().back(), "at-limit");

    const auto size = fs::file_size(first);
    testing::padLogTo(first, size + 60);  // now well past the limit
    log(custom("over-limit"));
    EXPECT_NE(controller_->currentLogURL(), first);
    EXPECT_FALSE(fs::exists(first));
    const auto bodies = run_.bodies();
    ASSERT_EQ(bodies.size(), 2u);  // the install event's and this one
    const auto& rotated = bodies[0].back() == "over-limit" ? bodies[0] : bodies[1];
    EXPECT_EQ(rotated.back(), "over-limit");
    EXPECT_EQ(std::count(rotated.begin(), rotated.end(), "at-limit"), 1);
}

TEST_F(ControllerTest, OneByteOverTheLimitRotates) {
    run_.setSettings({{"analytics", {{"max_byte_size_per_file", 2000}}}});
    start();
    const fs::path first = controller_->currentLogURL();
    testing::padLogTo(first, 2001);
    log(custom("one-over"));
    EXPECT_NE(controller_->currentLogURL(), first);
    EXPECT_EQ(run_.bodies(), (std::vector<Names>{{"app_installed"}, {"app_launched", "pad", "one-over"}}));
}

// Stored settings apply at start; later ones, by notification, change nothing in this run.
TEST_F(ControllerTest, OnlyTheFirstSettingsOfTheRunCount) {
    run_.setSettings({{"analytics", {{"max_byte_size_per_file", 1234}}}});
    start();
    EXPECT_EQ(controller_->settings()->maximumPayloadSize(), 1234);
    run_.setSettings({{"features", {{"collect_analytics", false}}}});
    run_.postSettingsAvailable();
    waitIdle(*controller_);
    EXPECT_EQ(controller_->settings()->maximumPayloadSize(), 1234);
    log(custom("still-collected"));
    EXPECT_EQ(currentLog().back(), "still-collected");
}

// Without stored settings events are kept; settings that arrive later take effect then.
TEST_F(ControllerTest, SettingsArrivingAfterStartTakeEffect) {
    start();
    EXPECT_FALSE(controller_->settings()->valid());
    log(custom("before-settings"));
    run_.setSettings({{"analytics", {{"max_byte_size_per_file", 777}}}});
    run_.postSettingsAvailable();
    waitIdle(*controller_);
    EXPECT_EQ(controller_->settings()->maximumPayloadSize(), 777);
    EXPECT_EQ(currentLog(), (Names{"metadata", "app_launched", "before-settings"}));
}

// The first settings turn collection off: every file goes, waiting bodies and events queued
// before the settings included, and nothing is written again in this run.
TEST_F(ControllerTest, CollectionOffEmptiesTheFolderForTheRestOfTheRun) {
    fs::create_directories(run_.eventsDir());
    testing::writeFile(run_.eventsDir() / "WAITING.multipartmime", "body");
    run_.setSettings({{"features", {{"collect_analytics", false}}}});
    start();
    EXPECT_TRUE(run_.allFiles().empty()) << testing::names(run_.eventsDir());
    log(custom("dropped"));
    postLifecycle("NSApplicationDidBecomeActiveNotification");
    controller_->logCrashEvent(std::make_shared<PLRCrashEvent>(WallClock::TimePoint{}, 0));
    waitIdle(*controller_);
    EXPECT_TRUE(run_.allFiles().empty()) << testing::names(run_.eventsDir());
    EXPECT_FALSE(controller_->shouldLogEvent());
}

// Events waiting when collection is turned off are dropped with their drain; later events
// still reach the queue (and are refused there).
TEST_F(ControllerTest, EventsAfterCollectionTurnsOffStillReachTheQueue) {
    start();
    testing::KitLog kitLog;
    controller_->eventQueue()->setSuspended(true);
    run_.setSettings({{"features", {{"collect_analytics", false}}}});
    run_.postSettingsAvailable();
    controller_->logEvent(custom("waiting"));
    controller_->eventQueue()->setSuspended(false);
    waitIdle(*controller_);
    EXPECT_TRUE(run_.allFiles().empty()) << testing::names(run_.eventsDir());
    controller_->logCrashEvent(std::make_shared<PLRCrashEvent>(WallClock::TimePoint{}, 0));
    waitIdle(*controller_);
    EXPECT_EQ(kitLog.count("[Plurio] Attempting to log app_crashed"), 1u);
    EXPECT_TRUE(run_.allFiles().empty()) << testing::names(run_.eventsDir());
}

// The timer rotates only a log already past the limit.
TEST_F(ControllerTest, FlushTimerRotatesOnlyALogPastTheLimit) {
    run_.setSettings({{"analytics", {{"flush_interval_secs", 5}, {"max_byte_size_per_file", 1500}}}});
    start();
    ASSERT_NE(controller_->flushTimer(), nullptr);
    const fs::path first = controller_->currentLogURL();
    loop_.advance(6);
    waitIdle(*controller_);
    EXPECT_EQ(controller_->currentLogURL(), first);  // below the limit: left alone
    testing::padLogTo(first, 1501);
    loop_.advance(5.5);
    ASSERT_TRUE(testing::eventually([&] {
        waitIdle(*controller_);
        return !fs::exists(first);
    }));
    EXPECT_EQ(run_.bodies(), (std::vector<Names>{{"app_installed"}, {"app_launched", "pad"}}));
}

TEST_F(ControllerTest, NoFlushTimerWithoutAnInterval) {
    run_.setSettings({{"analytics", {{"flush_interval_secs", 0}}}});
    start();
    EXPECT_EQ(controller_->flushTimer(), nullptr);
}

// The crash event travels alone, headed by the crashed run's metadata, even when the current
// log exists only as a write still queued.
TEST_F(ControllerTest, CrashEventNeverSharesAFile) {
    fs::create_directories(run_.root());
    ASSERT_TRUE(PLRCrashMetadata::writeSerializedDictionary({{"marker", "crashed run"}},
                                                            run_.root() / "crash_metadata"));
    start();
    // Held so that the custom event's write is still queued when the crash event looks: the
    // activation rotated the log, so the new one is not on disk yet.
    controller_->eventQueue()->setSuspended(true);
    NotificationCenter::defaultCenter().post("NSApplicationDidBecomeActiveNotification");
    controller_->logEvent(custom("just-before"));
    controller_->logCrashEvent(std::make_shared<PLRCrashEvent>(WallClock::TimePoint{}, 0));
    controller_->eventQueue()->setSuspended(false);
    waitIdle(*controller_);

    int crashFiles = 0;
    for (const auto& body : run_.files("multipartmime")) {
        const auto lines = testing::readEventFile(body);
        const auto names = testing::lineNames(lines);
        if (std::find(names.begin(), names.end(), "app_crashed") == names.end()) {
            EXPECT_NE(lines.front().payload.value("marker", ""), "crashed run");
            continue;
        }
        ++crashFiles;
        EXPECT_EQ(names, (Names{"metadata", "app_crashed"}));
        EXPECT_EQ(lines.front().payload, (json{{"marker", "crashed run"}}));
    }
    EXPECT_EQ(crashFiles, 1);
    EXPECT_EQ(run_.storedEventCounts()["just-before"], 1);
    EXPECT_FALSE(fs::exists(controller_->currentLogURL()));
}

TEST_F(ControllerTest, CrashEventRotatesTheLogOnDiskFirst) {
    start();
    log(custom("earlier"));
    const fs::path before = controller_->currentLogURL();
    controller_->logCrashEvent(std::make_shared<PLRCrashEvent>(WallClock::TimePoint{}, 0));
    waitIdle(*controller_);
    EXPECT_FALSE(fs::exists(before));
    EXPECT_EQ(run_.bodies(), (std::vector<Names>{{"app_crashed"},
                                                 {"app_installed"},
                                                 {"app_launched", "earlier"}}));
}

// With settings but no endpoint a body waits on disk like one made before any settings.
TEST_F(ControllerTest, NoEndpointLeavesBodiesWaiting) {
    if (PLRSettings::defaultPlurioURL()) GTEST_SKIP() << "this build names an events host";
    testing::KitLog kitLog;
    run_.setSettings({{"analytics", {{"max_byte_size_per_file", 4000}}}});
    start();
    postLifecycle("NSApplicationDidBecomeActiveNotification");
    EXPECT_EQ(run_.bodies(),
              (std::vector<Names>{{"app_installed"}, {"app_launched", "app_became_active"}}));
    for (const auto& line : kitLog.lines())
        EXPECT_EQ(line.find("Transmitting"), std::string::npos) << line;
}

// A stage that fails keeps its input for the next start.
TEST_F(ControllerTest, FailedCompressionKeepsTheLog) {
    start();
    const fs::path log = controller_->currentLogURL();
    fs::create_directories(PLRCompressLogOperation::compressedURLForUncompressedURL(log));
    postLifecycle("NSApplicationDidBecomeActiveNotification");
    ASSERT_NE(controller_->currentLogURL(), log);
    EXPECT_EQ(testing::lineNames(testing::readEventFile(log)),
              (Names{"metadata", "app_launched", "app_became_active"}));
    EXPECT_EQ(run_.bodies(), (std::vector<Names>{{"app_installed"}}));
}

// The events folder removed under the running kit comes back with the next write.
TEST_F(ControllerTest, RemovedEventsFolderIsMadeAgain) {
    start();
    fs::remove_all(run_.eventsDir());
    log(custom("after-removal"));
    EXPECT_EQ(currentLog(), (Names{"metadata", "after-removal"}));
}

// Events logged from several threads while notifications arrive from others: every one
// logged after the start is stored exactly once.
TEST_F(ControllerTest, ConcurrentEventsAndNotificationsAreNeitherLostNorDoubled) {
    run_.setSettings({{"analytics", {{"max_byte_size_per_file", 3000}}}});
    start();
    constexpr int kThreads = 4;
    constexpr int kEach = 150;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                if (t % 2 == 0) {
                    controller_->logEvent(custom("t" + std::to_string(t) + "-" + std::to_string(i)));
                } else if (i % 10 == 0) {
                    NotificationCenter::defaultCenter().post("NSApplicationWillResignActiveNotification");
                } else {
                    controller_->logEvent(std::make_shared<PLRPredefinedEvent>(
                        *PLRPredefinedEvent::levelEndEventWithLevelName(
                            plist::Value("t" + std::to_string(t) + "-" + std::to_string(i)),
                            plist::Value(int64_t(i)), plist::Value(true), std::nullopt)));
                }
            }
        });
    }
    for (auto& th : threads) th.join();
    waitIdle(*controller_);

    std::map<std::string, int> counts;
    for (const auto& f : run_.allFiles()) {
        const auto lines = testing::readEventFile(f);
        for (size_t i = 1; i < lines.size(); ++i) {
            const auto& p = lines[i].payload;
            std::string key = testing::label(lines[i]);
            if (p.contains("predefined_attributes"))
                key = p["predefined_attributes"].value("level_name", key);
            ++counts[key];
        }
    }
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kEach; ++i) {
            if (t % 2 == 1 && i % 10 == 0) continue;
            EXPECT_EQ(counts["t" + std::to_string(t) + "-" + std::to_string(i)], 1) << t << "-" << i;
        }
    EXPECT_EQ(counts["app_became_inactive"], (kThreads / 2) * (kEach / 10));
}

// Uploads: what happens to a body depends on how its upload ended.
class ControllerUploadTest : public ControllerTest {
  protected:
    void startWithServer(std::vector<net::testing::ScriptedReply> replies) {
        server_ = net::testing::TestServer::startHTTPS(net::testing::TestPKI::shared().leafA());
        server_->script("/events", std::move(replies));
        run_.setSettings({{"analytics", {{"url", server_->url("/events")}}}});
        start();
    }
    bool finished(size_t count) {
        if (testing::advanceUntil(loop_, 4000, [&] { return finishedLines() >= count; }, 16))
            return true;
        for (const auto& l : kitLog_.lines()) ADD_FAILURE() << l;
        return false;
    }
    size_t finishedLines() const {
        size_t n = 0;
        for (const auto& l : kitLog_.lines())
            if (l.find("Finished transmission of '") != std::string::npos) ++n;
        return n;
    }

    wv::test::PinnedRoots roots_;
    testing::KitLog kitLog_;
    std::unique_ptr<net::testing::TestServer> server_;
};

// Bodies made before the settings of the run were applied wait for a later start; the
// activation's body, made after, goes at once.
TEST_F(ControllerUploadTest, DeliveredBodiesGo) {
    startWithServer({{202, "{}"}});
    postLifecycle("NSApplicationDidBecomeActiveNotification");
    ASSERT_TRUE(finished(1));
    waitIdle(*controller_);
    EXPECT_EQ(run_.bodies(), (std::vector<Names>{{"app_installed"}}));
    ASSERT_EQ(server_->requestCount(), 1u);
    ASSERT_EQ(server_->requests()[0].parts.size(), 1u);
    const std::string events = wv::test::gunzip(server_->requests()[0].parts[0].content);
    EXPECT_NE(events.find("app_became_active"), std::string::npos);
}

TEST_F(ControllerUploadTest, RefusedBodiesGo) {
    startWithServer({{400, "malformed"}});
    postLifecycle("NSApplicationDidBecomeActiveNotification");
    ASSERT_TRUE(finished(1));
    waitIdle(*controller_);
    EXPECT_EQ(run_.bodies(), (std::vector<Names>{{"app_installed"}}));
}

// A body whose retries ran out on a passing trouble of the server waits for the next start,
// which sends it with the others that waited.
TEST_F(ControllerUploadTest, BodyWhoseRetriesRanOutStaysForTheNextStart) {
    startWithServer({{503, ""}});
    postLifecycle("NSApplicationDidBecomeActiveNotification");
    ASSERT_TRUE(finished(1));
    waitIdle(*controller_);
    EXPECT_EQ(server_->requestCount(), PLRNetworkRetryHandler::kDefaultMaxRetries + 2);
    EXPECT_EQ(run_.bodies(),
              (std::vector<Names>{{"app_installed"}, {"app_launched", "app_became_active"}}));

    const auto waiting = run_.files("multipartmime");
    controller_.reset();
    server_->script("/events", {{202, "{}"}});
    start();  // the same SDK core, so this run has its own install body, made before settings
    const size_t expected = PLRNetworkRetryHandler::kDefaultMaxRetries + 4;
    EXPECT_TRUE(testing::advanceUntil(loop_, 60, [&] {
        return server_->requestCount() >= expected &&
               std::none_of(waiting.begin(), waiting.end(),
                            [](const fs::path& p) { return fs::exists(p); });
    })) << testing::names(run_.eventsDir()) << server_->requestCount();
    waitIdle(*controller_);
    EXPECT_EQ(server_->requestCount(), expected);
}

TEST(ControllerBodyRemoval, OnlyFinalOutcomesRemoveTheBody) {
    auto typed = [](int64_t code, int64_t type) {
        net::Error e;
        e.domain = kTRNNetworkErrorDomain;
        e.code = code;
        e.userInfo["type"] = type;
        return e;
    };
    auto coded = [](int64_t code) {
        net::Error e;
        e.domain = kTRNNetworkErrorDomain;
        e.code = code;
        return e;
    };
    net::Error transport;
    transport.domain = "NSURLErrorDomain";
    transport.code = -1004;
    const std::vector<std::pair<std::optional<net::Error>, bool>> cases = {
        {std::nullopt, true},
        {typed(-4, 1), true},   // failure
        {typed(-5, 2), true},   // rejected
        {typed(-1, 3), false},  // temporary trouble, retries exhausted
        {typed(-1, 4), false},  // rate limited, retries exhausted
        {coded(PLRUploader::kMissingInput), true},
        {coded(PLRUploader::kUnreadableFile), true},
        {coded(PLRNetworkRetryHandler::kRetriesExhausted), false},
        {coded(PLRNetworkRetryHandler::kNoIdentifier), false},
        {transport, false},
    };
    for (const auto& [error, removes] : cases) {
        EXPECT_EQ(PLRPlurioController::shouldRemoveBodyAfterUploadError(error), removes)
            << (error ? error->domain + " " + std::to_string(error->code) : "none");
    }
}

// Orvelle Analytics sees the application's events when the settings ask, never the kit's own.
TEST_F(ControllerTest, OnlyApplicationEventsAreForwardedToOrvelle) {
    std::vector<std::string> forwarded;
    std::mutex mutex;
    auto orvelle = std::make_shared<ORVAnalyticsClass>();
    orvelle->logInternalEventWithOrigin = [&](const std::string&, const std::string& name,
                                              const json&) {
        std::lock_guard lock(mutex);
        forwarded.push_back(name);
    };
    ScopedClassRegistration registration(ORVAnalyticsClass::kClassName,
                                          std::shared_ptr<const ORVAnalyticsClass>(orvelle));
    run_.setSettings({{"analytics", {{"forward_to_halvard_analytics", true}}}});
    start();
    log(custom("shown"));
    log(PLRPredefinedEvent::purchaseEventWithPrice(Decimal::fromString("9.99"), "EUR", true,
                                                    std::nullopt, std::nullopt, std::nullopt,
                                                    std::nullopt));
    log(PLRPredefinedEvent::levelStartEventWithLevelName("one", std::nullopt));
    postLifecycle("NSApplicationDidBecomeActiveNotification");
    controller_->logCrashEvent(std::make_shared<PLRCrashEvent>(WallClock::TimePoint{}, 0));
    waitIdle(*controller_);
    std::lock_guard lock(mutex);
    // Purchases stay unless the settings include them.
    EXPECT_EQ(forwarded, (Names{"shown", "level_start"}));
}

TEST_F(ControllerTest, PurchasesAreForwardedWhenIncluded) {
    std::vector<std::string> forwarded;
    auto orvelle = std::make_shared<ORVAnalyticsClass>();
    orvelle->logInternalEventWithOrigin = [&](const std::string&, const std::string& name,
                                              const json&) { forwarded.push_back(name); };
    ScopedClassRegistration registration(ORVAnalyticsClass::kClassName,
                                          std::shared_ptr<const ORVAnalyticsClass>(orvelle));
    run_.setSettings({{"analytics",
                       {{"forward_to_halvard_analytics", true},
                        {"include_purchase_events_in_forwarded_events", true}}}});
    start();
    log(PLRPredefinedEvent::purchaseEventWithPrice(Decimal::fromString("9.99"), "EUR", true,
                                                    std::nullopt, std::nullopt, std::nullopt,
                                                    std::nullopt));
    EXPECT_EQ(forwarded, (Names{"ecommerce_purchase"}));
}

}  // namespace
}  // namespace wv
