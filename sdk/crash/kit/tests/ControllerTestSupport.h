#pragma once

// A crash reporting controller in a temporary report tree, with a scripted delegate, a
// scripted alert, the crash context replaced by a recorder, and a loopback report server.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "platform/dispatch/ManualRunLoop.h"
#include "platform/dispatch/testing/Waiting.h"
#include "platform/foundation/AlertPresenter.h"
#include "platform/foundation/ClassRegistry.h"
#include "platform/foundation/Log.h"
#include "platform/net/testing/TestServer.h"
#include "sdk/crash/kit/QXCrashReportingController.h"
#include "sdk/crash/report/tests/UploadTestSupport.h"

namespace wv::test {

inline const std::string kReportsPath =
    "/sdk-api/v1/platforms/mac/apps/com.wovanu.typing/reports";
inline const std::string kSignalRecord = "{\"signal\":{\"number\":11,\"time\":1700000100}}\n";

// Answers as the crash kit would, from what the test sets; remembers what it was told.
class ScriptedDelegate : public QXCrashReportingControllerDelegate {
  public:
    using Handler = QXCrashReportingControllerDelegate::SubmitHandler;

    bool shouldInstallCrashCallback() override { return installCrashCallback; }
    void detectedCrash() override { ++crashes; }
    bool reportingControllerCanUseBackgroundSessions(QXCrashReportingController&) override {
        return false;
    }
    bool reportingControllerMustInformDelegateOfReports(QXCrashReportingController&) override {
        return mustInform;
    }
    void reportingControllerDidDetectReportForLastExecution(
        QXCrashReportingController&, const std::shared_ptr<QXInternalReport>& report,
        Handler handler) override {
        {
            std::lock_guard lock(mutex_);
            offered_.push_back(report->identifier());
            handlers_.push_back(handler);
        }
        if (answer) handler(*answer);
    }
    void reportingControllerInternalDidDetectReportForLastExecution(
        QXCrashReportingController&, const std::shared_ptr<QXInternalReport>& report) override {
        std::lock_guard lock(mutex_);
        detected_.push_back(report->identifier());
    }
    std::optional<std::string> APIKeyForCrashReportingController(
        QXCrashReportingController&) override {
        return "API-KEY-1";
    }
    std::optional<std::string> installIDForCrashReportingController(
        QXCrashReportingController&) override {
        return "install-7";
    }
    bool isFirstInstallForCrashReportingController(QXCrashReportingController&) override {
        return true;
    }
    QXSettings settingsForCrashReportingController(QXCrashReportingController&) override {
        std::lock_guard lock(mutex_);
        ++settingsAsked;
        return QXSettings(std::make_shared<const nlohmann::json>(settings));
    }

    std::vector<std::string> offered() const {
        std::lock_guard lock(mutex_);
        return offered_;
    }
    std::vector<std::string> detected() const {
        std::lock_guard lock(mutex_);
        return detected_;
    }
    Handler handler(size_t i) const {
        std::lock_guard lock(mutex_);
        return handlers_.at(i);
    }
    void setSettings(nlohmann::json s) {
        std::lock_guard lock(mutex_);
        settings = std::move(s);
    }

    bool installCrashCallback = false;
    bool mustInform = false;
    // Given to each handler at once when set; otherwise the test calls the handlers.
    std::optional<bool> answer = true;
    std::atomic<int> crashes{0};
    int settingsAsked = 0;

  private:
    mutable std::mutex mutex_;
    nlohmann::json settings = nlohmann::json::object();
    std::vector<std::string> offered_;
    std::vector<std::string> detected_;
    std::vector<Handler> handlers_;
};

// Answers every alert with the next scripted response, recording what it was asked.
class ScriptedAlert : public AlertPresenter {
  public:
    explicit ScriptedAlert(std::vector<long> responses) : responses_(std::move(responses)) {}
    long runModal(const Alert& alert) override {
        std::lock_guard lock(mutex_);
        shown_.push_back(alert);
        const size_t i = std::min(shown_.size(), responses_.size()) - 1;
        return responses_.at(i);
    }
    std::vector<Alert> shown() const {
        std::lock_guard lock(mutex_);
        return shown_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<long> responses_;
    std::vector<Alert> shown_;
};

// Links a scripted alert (or none) for a test's length.
class ScopedAlert {
  public:
    explicit ScopedAlert(std::shared_ptr<ScriptedAlert> alert)
        : registration_(std::string(kAlertClassName),
                        alert ? std::any(std::shared_ptr<AlertPresenter>(alert)) : std::any()) {}

  private:
    ScopedClassRegistration registration_;
};

// What the controller did to the process around it.
struct Surroundings {
    mutable std::mutex mutex;
    std::vector<QXContextInitData> initialisations;
    std::vector<std::string> reportDirectories;
    std::vector<std::pair<std::string, std::string>> recordedKeys;  // through the recorder
    std::vector<std::pair<std::string, std::string>> writtenKeys;   // on the logging queue
    std::vector<std::string> logLines;
    int handlerChecks = 0;
    bool initialiseSucceeds = true;
    bool extension = false;

    std::vector<std::pair<std::string, std::string>> written() const {
        std::lock_guard lock(mutex);
        return writtenKeys;
    }
    std::vector<std::pair<std::string, std::string>> recorded() const {
        std::lock_guard lock(mutex);
        return recordedKeys;
    }
    std::optional<std::string> writtenValue(const std::string& key) const {
        std::lock_guard lock(mutex);
        for (auto it = writtenKeys.rbegin(); it != writtenKeys.rend(); ++it)
            if (it->first == key) return it->second;
        return std::nullopt;
    }
};

// Members are public so that a table of cases can arrange them through the fixture.
class ControllerTest : public ::testing::Test {
  public:
    ControllerTest() {
        server_->script(kReportsPath, {{202, "{\"status\":\"ok\"}", {}, "application/json"}});
    }
    ~ControllerTest() override {
        if (controller_) controller_->operationQueue()->waitUntilAllOperationsAreFinished();
    }

    QXCrashReportingController::Environment environment() {
        QXCrashReportingController::Environment e;
        auto s = surroundings_;
        e.initializeCrashContext = [s](const QXContextInitData& data) {
            std::lock_guard lock(s->mutex);
            s->initialisations.push_back(data);
            s->reportDirectories.push_back(data.reportDirectory ? data.reportDirectory : "");
            return s->initialiseSucceeds;
        };
        e.executionIdentifier = [] { return std::string("this-run"); };
        e.bundleIdentifier = [] { return std::optional<std::string>("com.wovanu.typing"); };
        e.isExtension = [s] {
            std::lock_guard lock(s->mutex);
            return s->extension;
        };
        e.debug = [] { return true; };
        e.recordInternalKeyValue = [s](const std::string& k, const std::string& v) {
            std::lock_guard lock(s->mutex);
            s->recordedKeys.emplace_back(k, v);
        };
        e.writeInternalKeyValueAsync = [s](const std::string& k, const std::string& v) {
            std::lock_guard lock(s->mutex);
            s->writtenKeys.emplace_back(k, v);
        };
        e.checkHandlers = [s] {
            std::lock_guard lock(s->mutex);
            ++s->handlerChecks;
        };
        e.recordLogMessage = [s](const std::string& line) {
            std::lock_guard lock(s->mutex);
            s->logLines.push_back(line);
        };
        return e;
    }

    std::shared_ptr<QXCrashReportingController> makeController() {
        controller_ = QXCrashReportingController::create(tree_.fileManager, delegate_, environment());
        return controller_;
    }
    bool start() {
        if (!controller_) makeController();
        return controller_->startWithProfilingMark(QXProfilingStart(), std::nullopt);
    }

    // A folder an earlier run left in active, holding a crash unless told otherwise.
    std::filesystem::path earlierRun(const std::string& id,
                                     std::map<std::string, std::string> files = {
                                         {"signal.qxrecord", kSignalRecord}}) {
        return tree_.makeReport(id, files)->path();
    }
    void markLastLaunchFailed() {
        writeFile(tree_.fileManager->structurePath() / "launchmarker", "");
    }
    std::filesystem::path activeFolder(const std::string& id) const {
        return tree_.fileManager->activePath() / id;
    }
    bool exists(const std::filesystem::path& path) const {
        std::error_code ec;
        return std::filesystem::exists(path, ec);
    }
    // Lets the work queue and the main queue run until `condition` holds (the clock stands).
    bool settle(const std::function<bool()>& condition) {
        return eventually([&] {
            loop_.runUntilIdle();
            return condition();
        });
    }
    void drain() {
        for (int i = 0; i < 3; ++i) {
            controller_->operationQueue()->waitUntilAllOperationsAreFinished();
            loop_.runUntilIdle();
        }
        controller_->operationQueue()->waitUntilAllOperationsAreFinished();
    }
    void setSettings(nlohmann::json settings) { delegate_->setSettings(std::move(settings)); }

    ScopedLogContext sdkLog_;
    LogCapture log_;
    ManualRunLoop loop_;
    std::unique_ptr<net::testing::TestServer> server_ = net::testing::TestServer::startHTTP();
    ScopedEnvironment endpoint_{"QuellixReportsEndpoint", server_->url("")};
    ReportTree tree_;
    std::shared_ptr<ScriptedDelegate> delegate_ = std::make_shared<ScriptedDelegate>();
    std::shared_ptr<Surroundings> surroundings_ = std::make_shared<Surroundings>();
    std::shared_ptr<QXCrashReportingController> controller_;
};

}  // namespace wv::test
