#include <gtest/gtest.h>

#include <csignal>
#include <thread>

#include "ControllerTestSupport.h"
#include "sdk/core/ORVAnalyticsClass.h"
#include "sdk/core/Tarnel.h"
#include "sdk/crash/report/QXOVCAnalytics.h"

namespace wv {
namespace {

using test::ControllerTest;
using test::ScopedAlert;
using test::ScriptedAlert;
using test::ScriptedDelegate;

using json = nlohmann::json;

// ---------------------------------------------------------------------------------------
// Start

TEST_F(ControllerTest, StartInstallsTheHandlersForThisRunsFolderAndConfiguresTheContext) {
    setSettings({{"session", {{"max_custom_key_value_pairs", 5}, {"log_buffer_size", 1000}}},
                 {"features", {{"collect_logged_exceptions", false}}}});
    delegate_->installCrashCallback = true;
    ASSERT_TRUE(start());

    ASSERT_EQ(surroundings_->initialisations.size(), 1u);
    const QXContextInitData& data = surroundings_->initialisations[0];
    EXPECT_EQ(surroundings_->reportDirectories[0], activeFolder("this-run").string());
    EXPECT_TRUE(std::filesystem::is_directory(activeFolder("this-run")));
    EXPECT_EQ(data.maxCustomKeys, 5u);
    EXPECT_EQ(data.logBufferSize, 1000u);
    EXPECT_EQ(data.errorLogBufferSize, 1000u);
    EXPECT_EQ(data.maxCustomExceptions, 16u);
    EXPECT_EQ(data.errorReportingEnabled, 0);
    EXPECT_EQ(data.customExceptionsEnabled, 0);
    EXPECT_EQ(data.firstInstall, 1);
    EXPECT_EQ(data.exceptionRecordedObject, nullptr);
    EXPECT_EQ(data.customBundleID, nullptr);
    EXPECT_EQ(data.betaToken, nullptr);

    // The crash handler reaches the delegate through the callback object.
    ASSERT_NE(data.crashCallbackObject, nullptr);
    static_cast<QXCrashCallback*>(data.crashCallbackObject)->deliverCrashDelegateCallback();
    EXPECT_EQ(delegate_->crashes.load(), 1);
}

TEST_F(ControllerTest, NoCrashCallbackWhenTheDelegateDoesNotWantOne) {
    ASSERT_TRUE(start());
    EXPECT_EQ(surroundings_->initialisations.at(0).crashCallbackObject, nullptr);
}

TEST_F(ControllerTest, FailuresToStartAreReportedAndLeaveNoHandlers) {
    struct Case {
        const char* what;
        std::function<void(ControllerTest&)> arrange;
        const char* line;
        bool initialises;
    };
    const Case cases[] = {
        {"reporting disabled",
         [](ControllerTest& t) { t.setSettings({{"features", {{"collect_reports", false}}}}); },
         "[Quellix:Crash] Reporting is disabled", false},
        {"handlers not installed",
         [](ControllerTest& t) { t.surroundings_->initialiseSucceeds = false; },
         "[Quellix:Crash] Unable to start crash reporter", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::ReportTree tree;
        tree_.fileManager = tree.fileManager;
        delegate_ = std::make_shared<ScriptedDelegate>();
        surroundings_ = std::make_shared<test::Surroundings>();
        log_.clear();
        c.arrange(*this);
        const auto earlier = earlierRun("earlier");
        makeController();
        EXPECT_FALSE(start());
        EXPECT_TRUE(log_.contains(c.line));
        EXPECT_EQ(surroundings_->initialisations.size(), c.initialises ? 1u : 0u);
        drain();
        if (!c.initialises) {
            EXPECT_FALSE(exists(earlier)) << "the folders are emptied when reporting is off";
        }
        controller_.reset();
    }
}

TEST_F(ControllerTest, ABundleWithoutIdentifierCannotStart) {
    auto e = environment();
    e.bundleIdentifier = [] { return std::optional<std::string>(); };
    controller_ = QXCrashReportingController::create(tree_.fileManager, delegate_, e);
    EXPECT_FALSE(start());
    EXPECT_TRUE(log_.contains(
        "[Quellix] An application must have a valid bundle idenifier in its Info.plist"));
    EXPECT_TRUE(surroundings_->initialisations.empty());
}

TEST_F(ControllerTest, TheLaunchMarkerLastsUntilTheMainQueueFirstTurns) {
    ASSERT_TRUE(start());
    EXPECT_TRUE(controller_->launchFailureMarkerPresent());
    EXPECT_FALSE(surroundings_->writtenValue("com.quellix.first-run-loop-time"));
    loop_.runUntilIdle();
    EXPECT_FALSE(controller_->launchFailureMarkerPresent());
    EXPECT_TRUE(surroundings_->writtenValue("com.quellix.first-run-loop-time"));
    EXPECT_EQ(surroundings_->handlerChecks, 0);
    loop_.advance(2.0);
    EXPECT_EQ(surroundings_->handlerChecks, 1) << "the handler checks run two seconds later";
}

TEST_F(ControllerTest, TheTimingKeysHoldTheShortestTextOfTheirMilliseconds) {
    // Ticks of a third of a nanosecond, counted in whole nanoseconds.
    std::atomic<uint64_t> ticks{0};
    QXProfilingSetTimebase({[&] { return ticks.load(); }, 1, 3});
    const QXProfileMark mark = QXProfilingStart();
    ticks = 3703703;  // 1234567 ns
    makeController();
    ASSERT_TRUE(controller_->startWithProfilingMark(mark, std::nullopt));
    ticks = 3703704;  // 1234568 ns by the main queue's first turn
    loop_.runUntilIdle();
    QXProfilingSetTimebase({});

    EXPECT_EQ(surroundings_->writtenValue("com.quellix.kit-start-time"), "1.234567");
    EXPECT_EQ(surroundings_->writtenValue("com.quellix.first-run-loop-time"), "1.234568");
    EXPECT_EQ(surroundings_->writtenValue("com.quellix.in-background"), "0");
}

TEST(QXShortestDecimalText, ReadsBackAsTheSameDouble) {
    const std::pair<double, const char*> cases[] = {
        {0.1, "0.1"},
        {0.1 + 0.2, "0.30000000000000004"},
        {1234.5, "1234.5"},
        {0.000001, "0.000001"},
        {42.0, "42"},
        {1.0 / 3.0, "0.3333333333333333"},
    };
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(QXShortestDecimalText(value), text);
        EXPECT_EQ(std::stod(QXShortestDecimalText(value)), value);
    }
}

TEST_F(ControllerTest, TheMachExceptionMaskTakesTheSignalsTheDelegateWantsDelivered) {
    class Signals : public ScriptedDelegate {
      public:
        explicit Signals(std::vector<int> wanted) : wanted_(std::move(wanted)) {}
        bool reportingControllerEnsureDeliveryOfUnixSignal(QXCrashReportingController&,
                                                           int signal) override {
            asked.push_back(signal);
            return std::find(wanted_.begin(), wanted_.end(), signal) != wanted_.end();
        }
        std::vector<int> asked;

      private:
        std::vector<int> wanted_;
    };
    const std::pair<std::vector<int>, uint32_t> cases[] = {
        {{}, 0},
        {{SIGILL}, 0x4},
        {{SIGTRAP}, 0x40},
        {{SIGFPE}, 0x8},
        {{SIGBUS, SIGSEGV}, 0x2},
        {{SIGABRT, SIGSYS}, 0x400},
        {{SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGSEGV, SIGSYS, SIGTRAP}, 0x44e},
    };
    for (const auto& [wanted, mask] : cases) {
        auto d = std::make_shared<Signals>(wanted);
        auto c = QXCrashReportingController::create(tree_.fileManager, d, environment());
        EXPECT_EQ(c->machExceptionMask(), mask);
        EXPECT_EQ(d->asked, (std::vector<int>{SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGSEGV, SIGSYS,
                                              SIGTRAP}));
    }
    // A delegate that leaves the question unanswered keeps every signal off the list.
    makeController();
    ASSERT_TRUE(start());
    EXPECT_EQ(surroundings_->initialisations.at(0).machExceptionMask, 0u);
}

TEST_F(ControllerTest, TheSettingsAreAskedOnceAndKept) {
    makeController();
    ASSERT_TRUE(start());
    setSettings({{"features", {{"prompt_enabled", true}}}});
    EXPECT_FALSE(controller_->settings().userPromptEnabled());
    EXPECT_EQ(delegate_->settingsAsked, 1);
}

// ---------------------------------------------------------------------------------------
// Earlier reports

TEST_F(ControllerTest, ARunWithNothingToSendIsRemovedAndNotOffered) {
    const auto quiet = earlierRun("quiet", {{"internal_incremental_kv.qxrecord", "{}\n"}});
    ASSERT_TRUE(start());
    drain();
    EXPECT_FALSE(exists(quiet));
    EXPECT_TRUE(delegate_->offered().empty());
    EXPECT_TRUE(delegate_->detected().empty());
    EXPECT_EQ(server_->requestCount(), 0u);
}

TEST_F(ControllerTest, AFailedLaunchsReportIsSentDuringStartOnlyWhenNobodyMustBeAsked) {
    struct Case {
        const char* what;
        bool marker;
        std::function<void(ControllerTest&)> arrange;
        bool urgent;
    };
    const Case cases[] = {
        {"last launch failed", true, [](ControllerTest&) {}, true},
        {"last launch ended well", false, [](ControllerTest&) {}, false},
        {"urgent reports switched off", true,
         [](ControllerTest&) { setenv("QuellixUrgentReports", "NO", 1); }, false},
        {"a prompt is needed", true,
         [](ControllerTest& t) { t.setSettings({{"features", {{"prompt_enabled", true}}}}); },
         false},
        {"the delegate must be informed", true,
         [](ControllerTest& t) { t.delegate_->mustInform = true; }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::ReportTree tree;
        tree_.fileManager = tree.fileManager;
        delegate_ = std::make_shared<ScriptedDelegate>();
        delegate_->answer.reset();  // nobody answers: only the urgent path sends
        surroundings_ = std::make_shared<test::Surroundings>();
        const size_t before = server_->requestCount();
        c.arrange(*this);
        earlierRun("crashed");
        if (c.marker) markLastLaunchFailed();
        makeController();
        ASSERT_TRUE(start());
        unsetenv("QuellixUrgentReports");
        // An urgent report has reached the server by the time the start returns.
        EXPECT_EQ(server_->requestCount() - before, c.urgent ? 1u : 0u);
        EXPECT_EQ(delegate_->detected(), std::vector<std::string>{"crashed"});
        EXPECT_EQ(delegate_->offered(),
                  c.urgent ? std::vector<std::string>{} : std::vector<std::string>{"crashed"});
        drain();
        controller_.reset();
    }
}

TEST_F(ControllerTest, UnusableSettingsAndOverridesLeaveTheDefaultsInForce) {
    setSettings({{"features", {{"collect_reports", "maybe"}, {"prompt_enabled", {1}}}},
                 {"session", {{"max_custom_key_value_pairs", "many"}}}});
    test::ScopedEnvironment urgent("QuellixUrgentReports", "perhaps");
    delegate_->answer.reset();
    earlierRun("crashed");
    markLastLaunchFailed();
    ASSERT_TRUE(start()) << "reporting stays on";
    EXPECT_EQ(server_->requestCount(), 1u) << "urgent reports stay allowed, no prompt is needed";
    EXPECT_EQ(surroundings_->initialisations.at(0).maxCustomKeys, 16u);
    for (const char* line :
         {"[Quellix:Crash] Setting 'features/collect_reports' holds no usable value ('maybe'); "
          "the default true holds",
          "[Quellix:Crash] Setting 'features/prompt_enabled' is of the wrong type; its default "
          "holds",
          "[Quellix:Crash] Setting 'session/max_custom_key_value_pairs' holds no usable value "
          "(\"many\"); the default 16 holds",
          "[Quellix:Crash] 'UrgentReports' holds no usable value ('perhaps'); the default true "
          "holds"}) {
        EXPECT_TRUE(log_.contains(line)) << line;
    }
}

TEST_F(ControllerTest, TheDelegatesYesSendsAndItsNoRemoves) {
    for (const bool submit : {true, false}) {
        SCOPED_TRACE(submit ? "send" : "remove");
        test::ReportTree tree;
        tree_.fileManager = tree.fileManager;
        delegate_ = std::make_shared<ScriptedDelegate>();
        delegate_->answer = submit;
        const size_t before = server_->requestCount();
        const auto earlier = earlierRun("crashed");
        makeController();
        ASSERT_TRUE(start());
        if (submit) {
            ASSERT_TRUE(server_->waitForRequests(before + 1, 20));
        }
        drain();
        EXPECT_FALSE(exists(earlier));
        EXPECT_EQ(server_->requestCount() - before, submit ? 1u : 0u);
        EXPECT_TRUE(settle([&] { return tree_.prepared().empty(); }))
            << "the package goes once the server took it";
        controller_.reset();
    }
}

// The delegate answers during the start and the work queue takes the report into processing
// before the start looks at the leftovers of earlier launches: the report is handled once.
TEST_F(ControllerTest, AReportDecidedOnDuringStartIsNoLeftover) {
    class Eager : public ScriptedDelegate {
      public:
        explicit Eager(std::filesystem::path processing) : processing_(std::move(processing)) {}
        void reportingControllerDidDetectReportForLastExecution(
            QXCrashReportingController& c, const std::shared_ptr<QXInternalReport>& report,
            Handler handler) override {
            ScriptedDelegate::reportingControllerDidDetectReportForLastExecution(c, report,
                                                                                handler);
            // Spins rather than sleeps: the report passes through processing quickly.
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            std::error_code ec;
            while (std::chrono::steady_clock::now() < until &&
                   !std::filesystem::exists(processing_ / report->identifier(), ec)) {
            }
        }

      private:
        std::filesystem::path processing_;
    };
    delegate_ = std::make_shared<Eager>(tree_.fileManager->processingPath());
    earlierRun("crashed");
    ASSERT_TRUE(start());
    ASSERT_TRUE(server_->waitForRequests(1, 20));
    ASSERT_TRUE(settle([&] { return tree_.prepared().empty(); }));
    drain();
    EXPECT_EQ(server_->requestCount(), 1u);
    // Taken for a leftover, the report would be opened again after it had gone.
    for (const auto& line : log_.lines()) {
        EXPECT_EQ(line.find("Unable to read identifier"), std::string::npos) << line;
        EXPECT_EQ(line.find("Failed to remove"), std::string::npos) << line;
        EXPECT_EQ(line.find("Unable to package"), std::string::npos) << line;
    }
    EXPECT_TRUE(tree_.fileManager->processingPathContents().empty());
}

TEST_F(ControllerTest, AHandlerCalledLaterOnAnotherThreadIsHonouredAndASecondCallIgnored) {
    delegate_->answer.reset();
    const auto earlier = earlierRun("crashed");
    ASSERT_TRUE(start());
    drain();
    EXPECT_TRUE(exists(earlier)) << "without an answer the report waits";

    const auto handler = delegate_->handler(0);
    std::thread([handler] { handler(true); }).join();
    ASSERT_TRUE(server_->waitForRequests(1, 20));
    std::thread([handler] { handler(false); }).join();
    drain();
    EXPECT_EQ(server_->requestCount(), 1u);
    EXPECT_TRUE(log_.contains(
        "[Quellix:Crash] The report 'crashed' was already decided on; a second answer is "
        "ignored"));
}

TEST_F(ControllerTest, AReportNobodyDecidedOnIsOfferedAgainAtTheNextStart) {
    delegate_->answer.reset();
    const auto earlier = earlierRun("crashed");
    ASSERT_TRUE(start());
    drain();
    controller_.reset();
    ASSERT_TRUE(exists(earlier));

    auto next = std::make_shared<ScriptedDelegate>();
    delegate_ = next;
    auto e = environment();
    e.executionIdentifier = [] { return std::string("next-run"); };
    controller_ = QXCrashReportingController::create(tree_.fileManager, delegate_, e);
    ASSERT_TRUE(controller_->startWithProfilingMark(QXProfilingStart(), std::nullopt));
    // The first controller's own run recorded nothing worth sending: only the crash is offered.
    EXPECT_EQ(next->offered(), std::vector<std::string>{"crashed"});
    ASSERT_TRUE(server_->waitForRequests(1, 20));
}

// A folder whose metadata cannot be read is judged by its files and known by its name.
TEST_F(ControllerTest, AFolderWithUnreadableMetadataIsSentOrRemovedNeverKept) {
    const auto dir = tree_.fileManager->activePath();
    std::filesystem::create_directories(dir / "torn-crash");
    test::writeFile(dir / "torn-crash" / "metadata.qxrecord", "{\"identity\": {\"sess");
    test::writeFile(dir / "torn-crash" / "signal.qxrecord", test::kSignalRecord);
    std::filesystem::create_directories(dir / "torn-quiet");
    test::writeFile(dir / "torn-quiet" / "metadata.qxrecord", "\x01\x02garbage");
    test::writeFile(dir / "torn-quiet" / "log_a.qxrecord", "{\"log\":{}}\n");

    ASSERT_TRUE(start());
    ASSERT_TRUE(server_->waitForRequests(1, 20));
    drain();
    EXPECT_EQ(delegate_->offered(), std::vector<std::string>{"torn-crash"});
    EXPECT_FALSE(exists(dir / "torn-crash"));
    EXPECT_FALSE(exists(dir / "torn-quiet"));
    EXPECT_EQ(server_->requestCount(), 1u);
    EXPECT_TRUE(settle([&] { return tree_.prepared().empty(); }));
    const auto parts = server_->requests().at(0).parts;
    EXPECT_TRUE(std::any_of(parts.begin(), parts.end(), [](const auto& p) {
        return p.name == "report_id" && p.content == "torn-crash";
    })) << "the folder's name stands for the identifier it could not read";
}

TEST_F(ControllerTest, UnreadableLeftoversInProcessingAreSentOrRemoved) {
    const auto dir = tree_.fileManager->processingPath();
    std::filesystem::create_directories(dir / "torn-crash");
    test::writeFile(dir / "torn-crash" / "signal.qxrecord", test::kSignalRecord);
    std::filesystem::create_directories(dir / "torn-quiet");
    test::writeFile(dir / "torn-quiet" / "log_b.qxrecord", "{\"log\":{}}\n");

    ASSERT_TRUE(start());
    ASSERT_TRUE(server_->waitForRequests(1, 20));
    drain();
    EXPECT_TRUE(tree_.fileManager->processingPathContents().empty());
    EXPECT_EQ(server_->requestCount(), 1u);
}

TEST_F(ControllerTest, PackagesLeftInPreparedAreUploadedAndRemoved) {
    const auto package = tree_.fileManager->preparedPath() / "B0UNDARY.multipartmime";
    test::writeFile(package, "--B0UNDARY\r\n\r\n--B0UNDARY--\r\n");
    ASSERT_TRUE(start());
    ASSERT_TRUE(settle([&] { return server_->requestCount() == 1 && !exists(package); }));
}

// ---------------------------------------------------------------------------------------
// Retries

TEST_F(ControllerTest, AFailedUploadIsRetriedOnceAfterTenMinutes) {
    server_->script(test::kReportsPath, {{400, "{}", {}, "application/json"},
                                         {202, "{\"status\":\"ok\"}", {}, "application/json"}});
    earlierRun("crashed");
    ASSERT_TRUE(start());
    ASSERT_TRUE(server_->waitForRequests(1, 20));
    ASSERT_TRUE(test::eventually([&] {
        return sdkLog_.log().find("Error: failed to submit report") != std::string::npos;
    }));
    drain();
    ASSERT_EQ(tree_.prepared().size(), 1u) << "the package waits for its retry";
    const auto lines = log_.lines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.rfind("[Quellix:Crash] report submission failed with error Error Domain=", 0) ==
               0;
    }));

    loop_.advance(599);
    drain();
    EXPECT_EQ(server_->requestCount(), 1u) << "not before ten minutes";
    loop_.advance(1);
    ASSERT_TRUE(server_->waitForRequests(2, 20));
    ASSERT_TRUE(settle([&] { return tree_.prepared().empty(); }));
    EXPECT_TRUE(log_.contains("[Quellix:Crash] re-attempting report submission"));
    loop_.advance(1200);
    drain();
    EXPECT_EQ(server_->requestCount(), 2u) << "a success is not retried";
}

TEST_F(ControllerTest, OnlyAFailureOfAPackageThatStillExistsIsRetried) {
    makeController();
    ASSERT_TRUE(start());
    drain();
    const auto package = tree_.fileManager->preparedPath() / "B0UNDARY.multipartmime";
    test::writeFile(package, "--B0UNDARY\r\n\r\n--B0UNDARY--\r\n");
    struct Case {
        const char* what;
        net::Error error;
        size_t uploads;
    };
    const Case cases[] = {
        {"the package is missing", {QXNetworkClient::kErrorDomain, -2, {}}, 0},
        {"the server refused it", {"TRNNetworkError", 3, {}}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::writeFile(package, "--B0UNDARY\r\n\r\n--B0UNDARY--\r\n");
        const size_t before = server_->requestCount();
        controller_->reportsControllerDidCompletePackageSubmission(
            *controller_->reportsController(), package, c.error);
        loop_.advance(600);
        drain();
        if (c.uploads) {
            ASSERT_TRUE(server_->waitForRequests(before + c.uploads, 20));
        }
        drain();
        EXPECT_EQ(server_->requestCount() - before, c.uploads);
    }
    EXPECT_TRUE(log_.contains("[Quellix:Crash] The package " + package.string() +
                              " no longer exists; not retried"));
}

// ---------------------------------------------------------------------------------------
// The submission prompt

class PromptTest : public ControllerTest {
  protected:
    PromptTest() { setSettings({{"features", {{"prompt_enabled", true}}}}); }
    // Starts with the scripted alert linked and lets everything settle.
    void startWith(std::shared_ptr<ScriptedAlert> alert) {
        alert_.reset();  // the one before puts back what it found before the next links
        alert_ = std::make_unique<ScopedAlert>(alert);
        ASSERT_TRUE(start());
        drain();
    }
    std::unique_ptr<ScopedAlert> alert_;
};

TEST_F(PromptTest, TheAlertsAnswerSendsOrRemovesAndHoldsForTheRestOfTheRun) {
    struct Case {
        const char* what;
        json prompt;
        long response;
        std::vector<std::string> buttons;
        bool sent;
        QXPromptChoice choice;
    };
    const std::vector<std::string> three = {"Send", "Always Send", "Don't Send"};
    const std::vector<std::string> two = {"Send", "Don't Send"};
    const Case cases[] = {
        {"send", json::object(), 1000, three, true, QXPromptChoiceSend},
        {"always send", json::object(), 1001, three, true, QXPromptChoiceAlwaysSend},
        {"don't send", json::object(), 1002, three, false, QXPromptChoiceDoNotSend},
        {"two buttons, send", {{"always_send_button_title", ""}}, 1000, two, true,
         QXPromptChoiceSend},
        {"two buttons, the second cancels", {{"always_send_button_title", ""}}, 1001, two, false,
         QXPromptChoiceDoNotSend},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::ReportTree tree;
        tree_.fileManager = tree.fileManager;
        delegate_ = std::make_shared<ScriptedDelegate>();
        setSettings({{"features", {{"prompt_enabled", true}}}, {"prompt", c.prompt}});
        const size_t before = server_->requestCount();
        const auto first = earlierRun("first");
        const auto second = earlierRun("second");
        auto alert = std::make_shared<ScriptedAlert>(std::vector<long>{c.response});
        makeController();
        startWith(alert);
        drain();

        const auto shown = alert->shown();
        ASSERT_EQ(shown.size(), 1u) << "one answer holds for every report of the run";
        EXPECT_EQ(shown[0].messageText, "Send Crash Report?");
        EXPECT_EQ(shown[0].informativeText,
                  "Looks like we crashed! Please help us fix the problem by sending a crash "
                  "report.");
        EXPECT_EQ(shown[0].buttons, c.buttons);
        if (c.sent) {
            ASSERT_TRUE(server_->waitForRequests(before + 2, 20));
        }
        drain();
        EXPECT_EQ(server_->requestCount() - before, c.sent ? 2u : 0u);
        EXPECT_FALSE(exists(first));
        EXPECT_FALSE(exists(second));
        EXPECT_EQ(controller_->promptChoice(), c.choice);
        controller_.reset();
    }
}

TEST_F(PromptTest, WithoutAnAlertTheReportWaitsInActive) {
    const auto earlier = earlierRun("crashed");
    startWith(nullptr);
    drain();
    EXPECT_TRUE(exists(earlier));
    EXPECT_EQ(controller_->promptChoice(), QXPromptChoiceNotAsked);
    EXPECT_TRUE(log_.contains(
        "[Quellix:Crash] No alert can be shown; the report 'crashed' waits for the next start"));
    EXPECT_EQ(server_->requestCount(), 0u);
}

TEST_F(PromptTest, AnExtensionSendsWithoutAnAlert) {
    surroundings_->extension = true;
    earlierRun("crashed");
    auto alert = std::make_shared<ScriptedAlert>(std::vector<long>{1002});
    startWith(alert);
    ASSERT_TRUE(server_->waitForRequests(1, 20));
    EXPECT_TRUE(alert->shown().empty());
}

TEST_F(PromptTest, TheDelegatesNoNeedsNoAlert) {
    delegate_->answer = false;
    const auto earlier = earlierRun("crashed");
    auto alert = std::make_shared<ScriptedAlert>(std::vector<long>{1000});
    startWith(alert);
    EXPECT_TRUE(alert->shown().empty());
    EXPECT_FALSE(exists(earlier));
}

TEST_F(PromptTest, AnAnswerThatIsNoButtonDecidesNothing) {
    const auto earlier = earlierRun("crashed");
    auto alert = std::make_shared<ScriptedAlert>(std::vector<long>{-1000});
    startWith(alert);
    EXPECT_EQ(alert->shown().size(), 1u);
    EXPECT_TRUE(exists(earlier));
    EXPECT_EQ(controller_->promptChoice(), QXPromptChoiceNotAsked);
}

TEST_F(PromptTest, APromptWithoutADelegateThatDecidesIsWarnedAbout) {
    startWith(nullptr);
    loop_.advance(2.0);
    EXPECT_EQ(log_.count("[Quellix:Crash] WARNING: the user prompt feature is enabled. As of "
                         "Quellix 3.0.0, implementing a user prompt is the application's "
                         "responsibility. See Quellix.h's notes about "
                         "-quellixDidDetectReportForLastExecution:completionHandler:"),
              1u);
}

// ---------------------------------------------------------------------------------------
// Notifications

TEST_F(ControllerTest, TheApplicationsStateIsRecordedAsItChanges) {
    ASSERT_TRUE(start());
    auto& center = NotificationCenter::defaultCenter();
    center.post("NSApplicationDidResignActiveNotification");
    center.post("NSApplicationWillBecomeActiveNotification");
    center.post("NSApplicationDidResignActiveNotification");
    using KV = std::pair<std::string, std::string>;
    EXPECT_EQ(surroundings_->recorded(),
              (std::vector<KV>{{"com.quellix.in-background", "1"},
                               {"com.quellix.in-background", "0"},
                               {"com.quellix.in-background", "1"}}));
    controller_.reset();
    center.post("NSApplicationWillBecomeActiveNotification");
    EXPECT_EQ(surroundings_->recorded().size(), 3u) << "a controller gone observes nothing";
}

TEST_F(ControllerTest, NewSettingsMayTurnOnTheAnalyticsEventListenerOnce) {
    QXOVCAnalytics::resetClassLookupForTesting();
    std::vector<ORVALogEventListener> listeners;
    auto cls = std::make_shared<ORVAnalyticsClass>();
    cls->logInternalEventWithOrigin = [](const std::string&, const std::string&,
                                         const nlohmann::json&) {};
    cls->addLogEventListener = [&](ORVALogEventListener l) { listeners.push_back(l); };
    ScopedClassRegistration orvelle(ORVAnalyticsClass::kClassName,
                                    std::shared_ptr<const ORVAnalyticsClass>(cls));

    ASSERT_TRUE(start());
    EXPECT_TRUE(listeners.empty());
    setSettings({{"features", {{"orvelle_quellix_enabled", true}}}});
    NotificationCenter::defaultCenter().post(Tarnel::kSettingsAvailableNotification);
    NotificationCenter::defaultCenter().post(Tarnel::kSettingsAvailableNotification);
    ASSERT_EQ(listeners.size(), 1u);

    ORVAEvent event;
    event.name = "lesson";
    listeners[0](event);
    ORVAEvent nameless;
    listeners[0](nameless);
    {
        std::lock_guard lock(surroundings_->mutex);
        EXPECT_EQ(surroundings_->logLines,
                  std::vector<std::string>{"$A$:{\"name\":\"lesson\",\"parameters\":{}}"});
    }
    QXOVCAnalytics::resetClassLookupForTesting();
}

}  // namespace
}  // namespace wv
