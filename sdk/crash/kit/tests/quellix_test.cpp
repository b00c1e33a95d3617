// The crash kit's public class: one object, one start, the legacy start, the debug switch,
// the delegate's warnings and the relay of reports between the controller and the
// application's delegate.
#include <gtest/gtest.h>

#include <csignal>
#include <type_traits>

#include "KitTestSupport.h"
#include "platform/dispatch/ManualRunLoop.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PlatformException.h"
#include "sdk/core/Tarnel.h"
#include "sdk/crash/kit/QXCrashReportingController.h"
#include "sdk/crash/kit/QXReport.h"
#include "sdk/crash/kit/Quellix.h"
#include "sdk/crash/report/QXFileManager.h"
#include "sdk/crash/report/QXInternalReport.h"

namespace wv {
namespace {

using test::KitTempFolder;
using test::RecordingPlurio;

const char* const kVersionLine = "[Quellix] Version 3.10.1 (129)";

TEST(QuellixObject, EveryAllocationYieldsTheSharedObject) {
    static_assert(!std::is_default_constructible_v<Quellix>);
    static_assert(!std::is_copy_constructible_v<Quellix>);
    auto shared = Quellix::sharedInstance();
    ASSERT_TRUE(shared);
    EXPECT_EQ(Quellix::init(), shared);
    EXPECT_EQ(Quellix::init(), Quellix::init());
}

TEST(QuellixObject, TheKitClassIsFoundByName) {
    Quellix::load();
    const TRNKitClass& kit = Quellix::kitClass();
    EXPECT_EQ(TRNKitClassNamed("Quellix"), &kit);
    EXPECT_TRUE(kit.declaresTRNKit);
    EXPECT_EQ(kit.bundleIdentifier(), "com.balvik.quellix.mac");
    EXPECT_EQ(kit.kitDisplayVersion(), "3.10.1");
    EXPECT_EQ(kit.kitBuildVersion(), "129");
    EXPECT_TRUE(kit.initializeIfNeeded);
    EXPECT_EQ(Quellix::sharedInstance()->version(), "3.10.1");
}

TEST(QuellixStart, RunsOnceHoweverItIsAskedAndStartsTheAnalyticsKit) {
    WV_IN_FRESH_PROCESS();
    LogCapture log;
    ManualRunLoop loop;
    RecordingPlurio plurio;
    auto kit = Quellix::sharedInstance();
    EXPECT_FALSE(kit->isQuellixStarted());

    Quellix::initializeIfNeeded();
    kit->start();
    Tarnel::with({&Quellix::kitClass()});

    EXPECT_EQ(log.count(kVersionLine), 1u);
    EXPECT_TRUE(kit->isQuellixStarted());
    EXPECT_FALSE(log.contains("[Quellix] Crash reporting could not be initialized"));
    // No beta here: neither the controller nor the analytics kit gets a token.
    EXPECT_FALSE(kit->betaController());
    ASSERT_EQ(plurio.starts().size(), 1u);
    EXPECT_FALSE(plurio.starts()[0]);

    auto controller = kit->crashReportingController();
    ASSERT_TRUE(controller);
    const auto active = controller->fileManager()->activePathContents();
    ASSERT_EQ(active.size(), 1u);
    EXPECT_EQ(active[0].filename(), Tarnel::sharedSDK().executionIdentifier());
    controller->operationQueue()->waitUntilAllOperationsAreFinished();
}

TEST(QuellixStart, TheAnalyticsKitStartsWhenCrashReportingCannot) {
    // The report tree cannot be made: where its root should be is a file.
    WV_IN_FRESH_PROCESS([](const std::filesystem::path& folder) {
        std::ofstream(folder / "cache" / "com.quellix.data") << "in the way";
    });
    LogCapture log;
    ManualRunLoop loop;
    RecordingPlurio plurio;
    auto kit = Quellix::sharedInstance();
    Tarnel::with({&Quellix::kitClass()});

    EXPECT_TRUE(log.contains("[Quellix] Crash reporting could not be initialized"));
    EXPECT_TRUE(kit->isQuellixStarted());
    EXPECT_EQ(plurio.starts().size(), 1u);
}

TEST(QuellixLegacyStart, StartsTheCoreWithTheGivenKeyAndTheKit) {
    WV_IN_FRESH_PROCESS([](const std::filesystem::path& folder) {
        plist::Dictionary defaults;
        defaults.set("com.quellix.iuuid", plist::Value("HISTORIC-INSTALL"));
        std::filesystem::create_directories(folder / "data" / "com.quellix");
        plist::writeFile(folder / "data" / "com.quellix" / "QXUserDefaults.plist",
                         plist::Value(defaults));
    });
    LogCapture log;
    ManualRunLoop loop;
    RecordingPlurio plurio;
    auto delegate = std::make_shared<QuellixDelegate>();

    auto kit = Quellix::startWithAPIKey("LEGACY-KEY", delegate);

    EXPECT_EQ(kit, Quellix::sharedInstance());
    EXPECT_EQ(kit->delegate(), delegate);
    EXPECT_EQ(Tarnel::sharedSDK().installationMode(), 1u);
    EXPECT_EQ(Tarnel::sharedSDK().APIKey(), "LEGACY-KEY");
    EXPECT_EQ(kit->APIKey(), "LEGACY-KEY");
    EXPECT_TRUE(kit->isQuellixStarted());
    EXPECT_EQ(plurio.starts().size(), 1u);
    EXPECT_FALSE(log.contains("[Quellix] Warning, setting delegate after start. Make sure to set "
                              "the Quellix delegate before calling startWithAPIKey:.., or "
                              "+[Tarnel with...] to avoid missing some delegate callbacks."));
    // The legacy defaults' installation identifier wins over the kit core's.
    EXPECT_EQ(kit->getHistoricInstallID(), "HISTORIC-INSTALL");
    EXPECT_EQ(kit->installID(), "HISTORIC-INSTALL");
    EXPECT_EQ(kit->crashReportingController()->installIdentifier(), "HISTORIC-INSTALL");

    // A second legacy start, deprecated form included, starts nothing more.
    Quellix::startWithAPIKeyAfterDelay("OTHER-KEY", 5.0);
    EXPECT_TRUE(log.contains("[Quellix] Warning, startWithAPIKey:afterDelay: is deprecated."));
    EXPECT_EQ(log.count(kVersionLine), 1u);
    EXPECT_EQ(plurio.starts().size(), 1u);
    kit->crashReportingController()->operationQueue()->waitUntilAllOperationsAreFinished();
}

TEST(QuellixLegacyStart, AfterAStartThroughOrvelleOnlyWarns) {
    WV_IN_FRESH_PROCESS();
    LogCapture log;
    ManualRunLoop loop;
    RecordingPlurio plurio;
    Tarnel::sharedSDK().setInstallationMode(2);

    auto kit = Quellix::startWithAPIKey("LEGACY-KEY");

    EXPECT_TRUE(log.contains(
        "[Quellix] Warning, calling startWithAPIKey:... after [ORVApp configure] or "
        "OrvelleApp.configure() is not supported"));
    EXPECT_EQ(Tarnel::sharedSDK().installationMode(), 1u);
    EXPECT_FALSE(kit->isQuellixStarted());
    EXPECT_TRUE(plurio.starts().empty());
    EXPECT_NE(Tarnel::sharedSDK().APIKey(), "LEGACY-KEY");
}

TEST(QuellixLegacyDefaults, OnlyAReadableFileCounts) {
    struct Case {
        const char* name;
        std::function<void(const std::filesystem::path& file)> make;
        std::optional<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"missing", [](const std::filesystem::path&) {}, std::nullopt},
        {"a folder", [](const std::filesystem::path& f) { std::filesystem::create_directories(f); },
         std::nullopt},
        {"garbage", [](const std::filesystem::path& f) { std::ofstream(f) << "<plist><dict"; },
         std::nullopt},
        {"no identifier",
         [](const std::filesystem::path& f) {
             plist::Dictionary d;
             d.set("other", plist::Value("x"));
             plist::writeFile(f, plist::Value(d));
         },
         std::nullopt},
        {"an identifier of the wrong kind",
         [](const std::filesystem::path& f) {
             plist::Dictionary d;
             d.set("com.quellix.iuuid", plist::Value(int64_t(7)));
             plist::writeFile(f, plist::Value(d));
         },
         std::nullopt},
        {"an identifier",
         [](const std::filesystem::path& f) {
             plist::Dictionary d;
             d.set("com.quellix.iuuid", plist::Value("OLD-ID"));
             plist::writeFile(f, plist::Value(d));
         },
         "OLD-ID"},
    };
    const char* previous = std::getenv("XDG_DATA_HOME");
    const std::optional<std::string> saved = previous ? std::optional<std::string>(previous)
                                                      : std::nullopt;
    for (const auto& c : cases) {
        KitTempFolder data;
        setenv("XDG_DATA_HOME", data.path().c_str(), 1);
        std::filesystem::create_directories(data / "com.quellix");
        c.make(data / "com.quellix" / "QXUserDefaults.plist");
        auto kit = Quellix::sharedInstance();
        EXPECT_EQ(kit->getHistoricInstallID(), c.expected) << c.name;
        EXPECT_EQ(kit->installID(), c.expected.value_or(Tarnel::sharedSDK().installID()))
            << c.name;
    }
    if (saved) {
        setenv("XDG_DATA_HOME", saved->c_str(), 1);
    } else {
        unsetenv("XDG_DATA_HOME");
    }
}

// The switch follows its argument: false turns debug logging off, not on.
TEST(QuellixDebugMode, HonoursItsArgument) {
    WV_IN_FRESH_PROCESS();
    LogCapture log;
    ManualRunLoop loop;
    auto kit = Quellix::sharedInstance();
    const std::string lateWarning =
        "[Quellix] Warning, consider enabling debug mode before starting Quellix";

    kit->setDebugMode(true);
    EXPECT_TRUE(kit->debugMode());
    EXPECT_TRUE(Tarnel::sharedSDK().debug());
    kit->setDebugMode(false);
    EXPECT_FALSE(kit->debugMode());
    EXPECT_FALSE(Tarnel::sharedSDK().debug());
    EXPECT_FALSE(log.contains(lateWarning));

    kit->setDebugMode(true);
    Quellix::initializeIfNeeded();
    // Debug mode was on at start: the host line is there.
    bool hostLine = false;
    for (const auto& line : log.lines()) hostLine |= line.starts_with("[Quellix] Running on ");
    EXPECT_TRUE(hostLine);

    kit->setDebugMode(false);
    EXPECT_FALSE(Tarnel::sharedSDK().debug());
    EXPECT_EQ(log.count(lateWarning), 1u);
    kit->crashReportingController()->operationQueue()->waitUntilAllOperationsAreFinished();
}

TEST(QuellixDelegateWarnings, DeprecatedMethodsAreNamedOnTheMainQueue) {
    WV_IN_FRESH_PROCESS();
    LogCapture log;
    ManualRunLoop loop;
    auto kit = Quellix::sharedInstance();
    auto delegate = std::make_shared<QuellixDelegate>();
    delegate->quellixDidDetectCrashDuringPreviousExecution = [](Quellix&) {};
    kit->setDelegate(delegate);
    Quellix::initializeIfNeeded();

    const std::string warning = "[Quellix] The Quellix delegate '" +
                                QuellixDelegateDescription(*delegate) +
                                "' implements deprecated methods.  Please see Quellix.h for "
                                "details.";
    EXPECT_FALSE(log.contains(warning)) << "the check waits for the main queue";
    loop.runUntilIdle();
    EXPECT_EQ(log.count(warning), 1u);
    EXPECT_FALSE(log.contains(
        "[Quellix] Background sessions are not supported in extensions. Please see Quellix.h "
        "for details."));

    kit->setDelegate(std::make_shared<QuellixDelegate>());
    EXPECT_TRUE(log.contains(
        "[Quellix] Warning, setting delegate after start. Make sure to set the Quellix delegate "
        "before calling startWithAPIKey:.., or +[Tarnel with...] to avoid missing some "
        "delegate callbacks."));
    kit->crashReportingController()->operationQueue()->waitUntilAllOperationsAreFinished();
}

TEST(QuellixDelegateWarnings, BackgroundSessionsInAnExtension) {
    WV_IN_FRESH_PROCESS([](const std::filesystem::path& folder) {
        plist::Dictionary extension;
        extension.set("NSExtensionPointIdentifier", plist::Value("com.wovanu.widget"));
        plist::Dictionary extra;
        extra.set("NSExtension", plist::Value(extension));
        test::writeBundle(folder / "bundle", extra);
    });
    LogCapture log;
    ManualRunLoop loop;
    auto kit = Quellix::sharedInstance();
    auto delegate = std::make_shared<QuellixDelegate>();
    delegate->quellixCanUseBackgroundSessions = [](Quellix&) { return true; };
    kit->setDelegate(delegate);
    Quellix::initializeIfNeeded();
    loop.runUntilIdle();
    EXPECT_EQ(log.count("[Quellix] Background sessions are not supported in extensions. Please "
                        "see Quellix.h for details."),
              1u);
    // Without its own answer, an extension uses no background sessions.
    auto controller = kit->crashReportingController();
    EXPECT_TRUE(kit->reportingControllerCanUseBackgroundSessions(*controller));
    kit->setDelegate(nullptr);
    EXPECT_FALSE(kit->reportingControllerCanUseBackgroundSessions(*controller));
    controller->operationQueue()->waitUntilAllOperationsAreFinished();
}

// The public setters reach the run's own report folder, each in its store under its key.
TEST(QuellixUserLogging, TheSettersWriteIntoThisRunsReport) {
    WV_IN_FRESH_PROCESS();
    LogCapture log;
    ManualRunLoop loop;
    auto kit = Quellix::sharedInstance();
    Quellix::initializeIfNeeded();
    ASSERT_TRUE(kit->isQuellixStarted());

    kit->setUserIdentifier("u-1");
    kit->setUserName("Ada");
    kit->setUserEmail("ada@example.org");
    kit->setUserEmail(std::nullopt);
    kit->setDevelopmentPlatformName("C++");
    kit->setDevelopmentPlatformVersion("20");
    kit->setObjectValue(std::string("blue"), "colour");
    kit->setIntValue(-7, "count");
    kit->setBoolValue(true, "flag");
    kit->setFloatValue(1.5f, "ratio");
    kit->setObjectValue(std::string("gone"), "removed");
    kit->setObjectValue(std::any(), "removed");

    const auto run = kit->crashReportingController()->fileManager()->activePath() /
                     Tarnel::sharedSDK().executionIdentifier();
    auto entries = [&](const char* incremental, const char* compacted) {
        const std::string i = (run / incremental).string();
        const std::string c = (run / compacted).string();
        QXUserLoggingKVStorage storage{i.c_str(), c.c_str(), 64, 64};
        return QXUserLoggingGetCompactedKVEntries(&storage, true).value_or(QXUserLoggingKVEntries{});
    };
    const auto user = entries("user_incremental_kv.qxrecord", "user_compacted_kv.qxrecord");
    EXPECT_EQ(user, (QXUserLoggingKVEntries{
                        {"colour", "blue"}, {"count", "-7"}, {"flag", "1"}, {"ratio", "1.5"}}));
    const auto internal =
        entries("internal_incremental_kv.qxrecord", "internal_compacted_kv.qxrecord");
    const std::map<std::string, std::optional<std::string>> expected = {
        {"com.quellix.user-id", "u-1"},
        {"com.quellix.user-name", "Ada"},
        {"com.quellix.user-email", std::nullopt},
        {"com.quellix.development-platform-name", "C++"},
        {"com.quellix.development-platform-version", "20"},
    };
    for (const auto& [key, value] : expected) {
        const auto found = internal.find(key);
        EXPECT_EQ(found == internal.end() ? std::nullopt : std::optional(found->second), value)
            << key;
    }

    kit->recordError(Error{"com.wovanu.test", 42, {}}, QXUserInfo{{"lesson", std::string("3")}});
    kit->recordCustomExceptionName("LessonError", "no words", {QXStackFrame::stackFrameWithAddress(0x1234)});
    EXPECT_TRUE(std::filesystem::exists(run / "errors_a.qxrecord"));
    EXPECT_TRUE(std::filesystem::exists(run / "custom_exception_a.qxrecord"));
    kit->crashReportingController()->operationQueue()->waitUntilAllOperationsAreFinished();
}

TEST(QuellixTestCalls, TheTestExceptionAndTheTestCrash) {
    try {
        Quellix::throwException();
        ADD_FAILURE() << "nothing was raised";
    } catch (const PlatformException& e) {
        EXPECT_EQ(e.name(), "QuellixTestException");
        EXPECT_EQ(e.reason(), "This is an Objective-C exception using for testing.");
    }
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(Quellix::crash(), ::testing::KilledBySignal(SIGILL), "");
}

// ---- The relay between the controller and the application's delegate ----

// A report folder of an earlier run: metadata always, a crash record when asked.
std::shared_ptr<QXInternalReport> writeReport(const std::filesystem::path& folder, bool crash) {
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "metadata.qxrecord")
        << R"({"identity":{"api_key":"k","started_at":1700000000,"session_id":"run-9"}})" << "\n";
    if (crash) std::ofstream(folder / "signal.qxrecord") << R"({"signal":{"number":11}})" << "\n";
    return QXInternalReport::reportWithPath(folder);
}

class QuellixRelay : public ::testing::Test {
  protected:
    void SetUp() override {
        report_ = writeReport(folder_ / "run-9", true);
        ASSERT_TRUE(report_);
        controller_ = QXCrashReportingController::create(
            std::make_shared<QXFileManager>(folder_ / "tree"), kit_);
    }
    void TearDown() override { kit_->setDelegate(nullptr); }

    // The handler as the controller would give it, counting its calls.
    QXCrashReportingControllerDelegate::SubmitHandler handler() {
        return [this](bool submit) { answers_.push_back(submit); };
    }

    LogCapture log_;
    ManualRunLoop loop_;
    KitTempFolder folder_;
    std::shared_ptr<Quellix> kit_ = Quellix::sharedInstance();
    std::shared_ptr<QXInternalReport> report_;
    std::shared_ptr<QXCrashReportingController> controller_;
    std::vector<bool> answers_;
};

TEST_F(QuellixRelay, WhoMustBeInformed) {
    struct Case {
        const char* name;
        std::function<void(QuellixDelegate&)> implement;
        bool mustInform;
    };
    const std::vector<Case> cases = {
        {"nothing", [](QuellixDelegate&) {}, false},
        {"only the crash callback",
         [](QuellixDelegate& d) { d.quellixDidDetectCrash = [](Quellix&) {}; }, false},
        {"the question with a handler",
         [](QuellixDelegate& d) {
             d.quellixDidDetectReportForLastExecutionCompletionHandler =
                 [](const std::shared_ptr<QXReport>&, QuellixDelegate::CompletionHandler) {};
         },
         true},
        {"the older question",
         [](QuellixDelegate& d) {
             d.quellixDidDetectReportForLastExecution = [](const std::shared_ptr<QXReport>&) {};
         },
         true},
        {"a deprecated crash notice",
         [](QuellixDelegate& d) {
             d.quellixDidDetectCrashDuringPreviousExecutionReport =
                 [](Quellix&, const std::shared_ptr<QXReport>&) {};
         },
         true},
    };
    EXPECT_FALSE(kit_->reportingControllerMustInformDelegateOfReports(*controller_))
        << "without a delegate";
    for (const auto& c : cases) {
        auto delegate = std::make_shared<QuellixDelegate>();
        c.implement(*delegate);
        kit_->setDelegate(delegate);
        EXPECT_EQ(kit_->reportingControllerMustInformDelegateOfReports(*controller_),
                  c.mustInform)
            << c.name;
    }
}

TEST_F(QuellixRelay, TheHandlerGoesToTheDelegateAsItCameAndTheNoticesFollowOnTheMainQueue) {
    auto delegate = std::make_shared<QuellixDelegate>();
    std::shared_ptr<QXReport> asked;
    QuellixDelegate::CompletionHandler kept;
    std::vector<std::string> order;
    delegate->quellixDidDetectReportForLastExecutionCompletionHandler =
        [&](const std::shared_ptr<QXReport>& report, QuellixDelegate::CompletionHandler h) {
            order.push_back("question");
            asked = report;
            kept = std::move(h);
        };
    delegate->quellixDidDetectCrashDuringPreviousExecutionReport =
        [&](Quellix& kit, const std::shared_ptr<QXReport>& report) {
            EXPECT_EQ(&kit, kit_.get());
            EXPECT_EQ(report, asked);
            order.push_back("crash with report");
        };
    delegate->quellixDidDetectCrashDuringPreviousExecution = [&](Quellix&) {
        order.push_back("crash");
    };
    kit_->setDelegate(delegate);

    kit_->reportingControllerDidDetectReportForLastExecution(*controller_, report_, handler());

    ASSERT_TRUE(asked) << "asked on the starting thread, during the call";
    EXPECT_FALSE(asked->readOnly()) << "the delegate may still add to the report";
    EXPECT_EQ(asked->identifier(), "run-9");
    EXPECT_EQ(order, std::vector<std::string>{"question"});
    EXPECT_TRUE(answers_.empty()) << "only the delegate answers";
    loop_.runUntilIdle();
    EXPECT_EQ(order, (std::vector<std::string>{"question", "crash with report", "crash"}));
    kept(false);
    EXPECT_EQ(answers_, std::vector<bool>{false});
}

TEST_F(QuellixRelay, TheOlderQuestionGetsAFrozenReportAndTheReportIsSent) {
    auto delegate = std::make_shared<QuellixDelegate>();
    std::shared_ptr<QXReport> told;
    delegate->quellixDidDetectReportForLastExecution = [&](const std::shared_ptr<QXReport>& r) {
        told = r;
    };
    kit_->setDelegate(delegate);

    kit_->reportingControllerDidDetectReportForLastExecution(*controller_, report_, handler());

    EXPECT_EQ(answers_, std::vector<bool>{true});
    EXPECT_FALSE(told) << "told on the main queue";
    loop_.runUntilIdle();
    ASSERT_TRUE(told);
    EXPECT_TRUE(told->readOnly());
    EXPECT_TRUE(told->isCrash());
}

TEST_F(QuellixRelay, WithoutAQuestionTheReportIsSent) {
    kit_->reportingControllerDidDetectReportForLastExecution(*controller_, report_, handler());
    auto delegate = std::make_shared<QuellixDelegate>();
    delegate->quellixDidDetectCrash = [](Quellix&) {};
    kit_->setDelegate(delegate);
    kit_->reportingControllerDidDetectReportForLastExecution(*controller_, report_, handler());
    EXPECT_EQ(answers_, (std::vector<bool>{true, true}));
    EXPECT_EQ(loop_.runUntilIdle(), 0u);
}

TEST_F(QuellixRelay, ACrashOfAnEarlierRunReachesTheAnalyticsKitOnTheMainQueue) {
    RecordingPlurio plurio;
    kit_->reportingControllerInternalDidDetectReportForLastExecution(*controller_, report_);
    EXPECT_TRUE(plurio.crashDates().empty());
    loop_.runUntilIdle();
    ASSERT_EQ(plurio.crashDates().size(), 1u);
    EXPECT_EQ(plurio.crashDates()[0], plist::Date(std::chrono::seconds(1700000000)));

    // A report worth sending that is no crash (a recorded error) is not one.
    auto errorsOnly = writeReport(folder_ / "errors-run", false);
    std::ofstream(folder_ / "errors-run" / "errors_a.qxrecord") << R"({"error":{}})" << "\n";
    kit_->reportingControllerInternalDidDetectReportForLastExecution(*controller_, errorsOnly);
    loop_.runUntilIdle();
    EXPECT_EQ(plurio.crashDates().size(), 1u);
}

TEST_F(QuellixRelay, SignalDeliveryAndTheCrashCallbackFollowTheDelegate) {
    EXPECT_FALSE(kit_->reportingControllerEnsureDeliveryOfUnixSignal(*controller_, SIGSEGV));
    EXPECT_FALSE(kit_->shouldInstallCrashCallback());
    auto delegate = std::make_shared<QuellixDelegate>();
    std::vector<int> asked;
    delegate->quellixEnsureDeliveryOfUnixSignal = [&](Quellix&, int signal) {
        asked.push_back(signal);
        return signal == SIGABRT;
    };
    kit_->setDelegate(delegate);
    EXPECT_TRUE(kit_->reportingControllerEnsureDeliveryOfUnixSignal(*controller_, SIGABRT));
    EXPECT_FALSE(kit_->reportingControllerEnsureDeliveryOfUnixSignal(*controller_, SIGSEGV));
    EXPECT_EQ(asked, (std::vector<int>{SIGABRT, SIGSEGV}));
    EXPECT_FALSE(kit_->shouldInstallCrashCallback()) << "no crash callback implemented";
}

TEST_F(QuellixRelay, AnalyticsEventsGoToTheAnalyticsKit) {
    kit_->logEvent("before any kit is linked");
    RecordingPlurio plurio;
    kit_->logEvent("lesson");
    plist::Dictionary attributes;
    attributes.set("level", plist::Value(int64_t(3)));
    kit_->logEvent("level up", attributes);
    const auto events = plurio.events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].first, "lesson");
    EXPECT_FALSE(events[0].second);
    EXPECT_EQ(events[1].first, "level up");
    EXPECT_EQ(events[1].second, attributes);
}

// The kit becomes the configuration's "quellix" handler; with no user-script class here the
// script cannot be installed, and a page's message that is no dictionary cannot be recorded.
TEST_F(QuellixRelay, WebViewsGetTheKitAsTheirHandler) {
    webkit::WebViewConfiguration configuration;
    kit_->monitorErrorsForWKWebViewConfiguration(configuration);
    const auto& content = configuration.userContentController();
    EXPECT_EQ(content->scriptMessageHandlerNamed("quellix"),
              std::static_pointer_cast<webkit::ScriptMessageHandler>(kit_));
    EXPECT_TRUE(content->userScripts().empty());
    EXPECT_TRUE(log_.contains("[Quellix] Unable to monitor " + configuration.description()));

    const std::string unrecorded = "[Quellix] Unable to record exception from WKWebView";
    plist::Dictionary body;
    body.set("msg", plist::Value("ReferenceError: x is not defined"));
    EXPECT_TRUE(content->postMessage("quellix", plist::Value(body)));
    EXPECT_FALSE(log_.contains(unrecorded));
    EXPECT_TRUE(content->postMessage("quellix", plist::Value("just text")));
    EXPECT_EQ(log_.count(unrecorded), 1u);
}

TEST_F(QuellixRelay, WriteOnlyPropertiesLogAndGiveNothing) {
    EXPECT_FALSE(kit_->developmentPlatformName());
    EXPECT_FALSE(kit_->developmentPlatformVersion());
    EXPECT_TRUE(log_.contains("[Quellix] developmentPlatformName is write-only"));
    EXPECT_TRUE(log_.contains("[Quellix] developmentPlatformVersion is write-only"));
}

}  // namespace
}  // namespace wv
