#include "sdk/crash/kit/QXCrashReportingController.h"

#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <csignal>
#include <system_error>

#include "platform/dispatch/MainQueue.h"
#include "platform/foundation/AlertPresenter.h"
#include "platform/foundation/Log.h"
#include "sdk/core/TRNApplication.h"
#include "sdk/core/Tarnel.h"
#include "sdk/crash/capture/QXCaptureInstallers.h"
#include "sdk/crash/capture/QXException.h"
#include "sdk/crash/capture/QXMachException.h"
#include "sdk/crash/capture/QXSignal.h"
#include "sdk/crash/context/QXContext.h"
#include "sdk/crash/context/QXSDKLog.h"
#include "sdk/crash/kit/QXUserLogging.h"
#include "sdk/crash/report/QXFileManager.h"
#include "sdk/crash/report/QXInternalReport.h"
#include "sdk/crash/report/QXOVCAnalytics.h"
#include "platform/dispatch/SerialQueue.h"

namespace wv {
namespace {

void log(const std::string& text) { Log::system(text); }

// The real process around the controller, for every seam a caller left empty.
QXCrashReportingController::Environment completed(QXCrashReportingController::Environment e) {
    if (!e.initializeCrashContext)
        e.initializeCrashContext = [](const QXContextInitData& data) {
            QXContextSetInstallers(QXCaptureInstallers());
            return QXContextInitialize(&data);
        };
    if (!e.executionIdentifier)
        e.executionIdentifier = [] { return Tarnel::sharedSDK().executionIdentifier(); };
    if (!e.bundleIdentifier) e.bundleIdentifier = [] { return TRNApplicationBundleIdentifier(); };
    if (!e.isExtension) e.isExtension = [] { return QXApplicationIsExtension(); };
    if (!e.debug) e.debug = [] { return Tarnel::sharedSDK().debug(); };
    if (!e.recordInternalKeyValue)
        e.recordInternalKeyValue = [](const std::string& key, const std::string& value) {
            QXUserLoggingRecordInternalKeyValue(key, value);
        };
    if (!e.writeInternalKeyValueAsync)
        e.writeInternalKeyValueAsync = [](const std::string& key, const std::string& value) {
            // No logging queue means no crash context: there is no report to write into.
            if (SerialQueue* queue = qxLoggingQueue)
                queue->async([key, value] { QXUserLoggingWriteInternalKeyValue(key, value); });
        };
    if (!e.checkHandlers)
        e.checkHandlers = [] {
            QXExceptionCheckHandlers();
            QXSignalCheckHandlers();
        };
    if (!e.recordLogMessage)
        e.recordLogMessage = [](const std::string& line) { QXUserLoggingRecordLogMessage(line); };
    return e;
}

bool isMissingFileError(const net::Error& error) {
    return error.domain == QXNetworkClient::kErrorDomain &&
           error.code == QXNetworkClient::kMissingFileErrorCode;
}

// An earlier run's folder. A folder whose metadata cannot be read still holds whatever the run
// recorded: it is judged by its files and known by its name, so that it is either sent or
// removed, and never kept for ever because nobody could open it.
std::shared_ptr<QXInternalReport> openReport(const std::filesystem::path& path, bool* named) {
    if (auto report = QXInternalReport::initWithPath(path)) {
        if (named) *named = false;
        return report;
    }
    if (named) *named = true;
    return std::make_shared<QXInternalReport>(path, path.filename().string());
}

}  // namespace

std::string QXShortestDecimalText(double value) {
    char buffer[512];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (result.ec != std::errc()) return std::to_string(value);
    return std::string(buffer, result.ptr);
}

std::shared_ptr<QXCrashReportingController> QXCrashReportingController::create(
    std::shared_ptr<QXFileManager> fileManager,
    std::weak_ptr<QXCrashReportingControllerDelegate> delegate, Environment environment) {
    std::shared_ptr<QXCrashReportingController> controller(new QXCrashReportingController(
        std::move(fileManager), std::move(delegate), completed(std::move(environment))));
    // The client's delegate is this controller, known only once it is shared.
    controller->networkClient_ = controller->clientWithOperationQueue(controller->operationQueue_);
    return controller;
}

QXCrashReportingController::QXCrashReportingController(
    std::shared_ptr<QXFileManager> fileManager,
    std::weak_ptr<QXCrashReportingControllerDelegate> delegate, Environment environment)
    : fileManager_(std::move(fileManager)),
      operationQueue_(std::make_shared<OperationQueue>(kWorkQueueName, 1)),
      delegate_(std::move(delegate)),
      environment_(std::move(environment)) {}

QXCrashReportingController::~QXCrashReportingController() {
    auto& center = NotificationCenter::defaultCenter();
    for (auto token : stateObservers_) center.removeObserver(token);
    std::lock_guard lock(mutex_);
    if (settingsObserver_) center.removeObserver(*settingsObserver_);
}

std::shared_ptr<QXNetworkClient> QXCrashReportingController::clientWithOperationQueue(
    std::shared_ptr<OperationQueue> queue) {
    return QXNetworkClient::create(std::move(queue), fileManager_,
                                   std::weak_ptr<QXNetworkClientDelegate>(shared_from_this()));
}

std::shared_ptr<QXReportsController> QXCrashReportingController::reportsController() {
    std::lock_guard lock(mutex_);
    if (!reportsController_)
        reportsController_ = std::make_shared<QXReportsController>(
            operationQueue_, std::weak_ptr<QXReportsControllerDelegate>(shared_from_this()),
            networkClient_, fileManager_);
    return reportsController_;
}

bool QXCrashReportingController::debug() const { return environment_.debug(); }

void QXCrashReportingController::onWorkQueue(std::function<void(QXCrashReportingController&)> work) {
    std::weak_ptr<QXCrashReportingController> weak = weak_from_this();
    operationQueue_->addOperation([weak, work = std::move(work)] {
        if (auto self = weak.lock()) work(*self);
    });
}

// ---------------------------------------------------------------------------------------
// Start

bool QXCrashReportingController::startWithProfilingMark(
    QXProfileMark mark, const std::optional<std::string>& betaToken) {
    if (!checkPreconditions()) return false;
    if (!settings().crashReportingEnabled()) {
        log("[Quellix:Crash] Reporting is disabled");
        fileManager_->removeContentsOfAllPaths();
        return false;
    }
    if (!prepareForNewLaunch()) return false;
    const bool lastLaunchFailed = checkForAndCreateLaunchMarker();
    // Taken before this run's folder exists: these are the folders of earlier runs. The
    // leftovers of processing and prepared are taken now too: a report the delegate decides
    // on at once moves through processing and prepared on the work queue while this start
    // goes on, and must not be taken for a leftover and handled a second time.
    const auto earlierReports = fileManager_->activePathContents();
    const auto processingLeftovers = fileManager_->processingPathContents();
    const auto preparedLeftovers = fileManager_->preparedPathContents();
    auto report = setupCurrentReport();
    if (!report) log("[Quellix:Crash] Unable to setup a new report");
    if (!startCrashReporterWithAPIKey(APIKey(), betaToken, mark, report)) {
        log("[Quellix:Crash] Unable to start crash reporter");
        report.reset();
    }
    processExistingReportPaths(earlierReports, lastLaunchFailed);
    handleExistingFilesInProcessing(processingLeftovers);
    handleExistingFilesInPrepared(preparedLeftovers);
    if (report) writeElapsedMillis(kKitStartTimeKey, mark);
    return report != nullptr;
}

void QXCrashReportingController::writeElapsedMillis(const char* key, QXProfileMark mark) {
    environment_.writeInternalKeyValueAsync(key,
                                            QXShortestDecimalText(QXProfilingEndInMillis(mark)));
}

bool QXCrashReportingController::checkPreconditions() {
    const auto identifier = bundleIdentifier();
    if (!identifier || TRNEscapedBundleIdentifier(*identifier).empty()) {
        log("[Quellix] An application must have a valid bundle idenifier in its Info.plist");
        return false;
    }
    return true;
}

bool QXCrashReportingController::prepareForNewLaunch() {
    // The tree orders the legacy removal against its own preparation, so the removal may
    // wait on the work queue without taking this run's folders.
    auto fileManager = fileManager_;
    operationQueue_->addOperation([fileManager] { fileManager->removeLegacyDirectories(); });
    return fileManager_->prepareForNewLaunch();
}

std::shared_ptr<QXInternalReport> QXCrashReportingController::setupCurrentReport() {
    createLaunchFailureMarker();
    const std::string identifier = environment_.executionIdentifier();
    const auto path = fileManager_->setupNewPathForExecutionIdentifier(identifier);
    return QXInternalReport::initWithPathExecutionIdentifier(path, identifier);
}

bool QXCrashReportingController::startCrashReporterWithAPIKey(
    const std::optional<std::string>& APIKey, const std::optional<std::string>& betaToken,
    QXProfileMark mark, const std::shared_ptr<QXInternalReport>& report) {
    if (!report) return false;
    const QXSettings current = settings();
    const auto installationIdentifier = installIdentifier();
    const std::string reportDirectory = report->path().string();
    const std::string executionIdentifier = report->identifier();
    const auto d = delegate();

    QXContextInitData data{};
    data.apiKey = APIKey ? APIKey->c_str() : nullptr;
    // Nothing submits while the process is crashing: every report goes out at a later launch.
    data.exceptionRecordedObject = nullptr;
    data.firstInstall = firstInstall() ? 1 : 0;
    if (d && d->shouldInstallCrashCallback()) {
        crashCallbackDelegate_ = d;
        data.crashCallbackObject = static_cast<void*>(static_cast<QXCrashCallback*>(this));
    }
    data.customBundleID = nullptr;
    data.reportDirectory = reportDirectory.c_str();
    data.executionIdentifier = executionIdentifier.c_str();
    data.installationIdentifier =
        installationIdentifier ? installationIdentifier->c_str() : nullptr;
    data.betaToken = betaToken ? betaToken->c_str() : nullptr;
    data.machExceptionMask = machExceptionMask();
    data.errorReportingEnabled = current.errorReportingEnabled() ? 1 : 0;
    data.customExceptionsEnabled = current.customExceptionsEnabled() ? 1 : 0;
    data.maxCustomExceptions = current.maxCustomExceptions();
    data.errorLogBufferSize = current.errorLogBufferSize();
    data.logBufferSize = current.logBufferSize();
    data.maxCustomKeys = current.maxCustomKeys();

    if (!installCrashReportingHandlers(data)) return false;
    if (current.orvelleQuellixEnabled()) registerAnalyticsEventListener();
    {
        std::weak_ptr<QXCrashReportingController> weak = weak_from_this();
        std::lock_guard lock(mutex_);
        settingsObserver_ = NotificationCenter::defaultCenter().addObserver(
            Tarnel::kSettingsAvailableNotification, nullptr, [weak](const Notification& n) {
                if (auto self = weak.lock()) self->tarnelSettingsDownloaded(n);
            });
    }
    crashReportingSetupCompleted(mark);
    return true;
}

bool QXCrashReportingController::installCrashReportingHandlers(const QXContextInitData& data) {
    if (!environment_.initializeCrashContext(data)) return false;
    setupStateNotifications();
    return true;
}

uint32_t QXCrashReportingController::machExceptionMask() {
    struct Mapping {
        int signal;
        uint32_t bits;
    };
    // In the order the delegate is asked.
    static constexpr Mapping kSignals[] = {
        {SIGABRT, kQXMachMaskCrash},      {SIGBUS, kQXMachMaskBadAccess},
        {SIGFPE, kQXMachMaskArithmetic},  {SIGILL, kQXMachMaskBadInstruction},
        {SIGSEGV, kQXMachMaskBadAccess},  {SIGSYS, kQXMachMaskCrash},
        {SIGTRAP, kQXMachMaskBreakpoint},
    };
    uint32_t mask = 0;
    const auto d = delegate();
    if (!d) return mask;
    for (const Mapping& m : kSignals)
        if (d->reportingControllerEnsureDeliveryOfUnixSignal(*this, m.signal)) mask |= m.bits;
    return mask;
}

void QXCrashReportingController::crashReportingSetupCompleted(QXProfileMark mark) {
    std::weak_ptr<QXCrashReportingController> weak = weak_from_this();
    MainQueue::shared().asyncAfter(kPostStartCheckDelay, [weak] {
        if (auto self = weak.lock()) {
            self->environment_.checkHandlers();
            self->checkForUserPromptSetting();
        }
    });
    // The marker stays until the main queue first turns: a marker found at the next start
    // means this run ended before it got that far.
    MainQueue::shared().async([weak, mark] {
        if (auto self = weak.lock()) {
            self->removeLaunchFailureMarker();
            self->writeElapsedMillis(kFirstRunLoopTimeKey, mark);
        }
    });
}

void QXCrashReportingController::checkForUserPromptSetting() {
    if (settings().userPromptEnabled() && !delegateNeedsToBeInformedOfReports())
        log("[Quellix:Crash] WARNING: the user prompt feature is enabled. As of Quellix 3.0.0, "
            "implementing a user prompt is the application's responsibility. See Quellix.h's "
            "notes about -quellixDidDetectReportForLastExecution:completionHandler:");
}

// ---------------------------------------------------------------------------------------
// The delegate's answers

bool QXCrashReportingController::firstInstall() {
    const auto d = delegate();
    return d && d->isFirstInstallForCrashReportingController(*this);
}

std::optional<std::string> QXCrashReportingController::installIdentifier() {
    if (const auto d = delegate()) return d->installIDForCrashReportingController(*this);
    return std::nullopt;
}

std::optional<std::string> QXCrashReportingController::APIKey() {
    if (const auto d = delegate()) return d->APIKeyForCrashReportingController(*this);
    return std::nullopt;
}

QXSettings QXCrashReportingController::settings() {
    {
        std::lock_guard lock(mutex_);
        if (settings_) return *settings_;
    }
    const auto d = delegate();
    QXSettings fetched = d ? d->settingsForCrashReportingController(*this) : QXSettings();
    std::lock_guard lock(mutex_);
    if (!settings_) settings_ = std::move(fetched);
    return *settings_;
}

std::optional<std::string> QXCrashReportingController::bundleIdentifier() {
    return environment_.bundleIdentifier();
}

bool QXCrashReportingController::packagingEnabled() { return settings().shouldPackageReports(); }

bool QXCrashReportingController::delegateNeedsToBeInformedOfReports() {
    const auto d = delegate();
    return d && d->reportingControllerMustInformDelegateOfReports(*this);
}

bool QXCrashReportingController::needsToPrompt() {
    const QXPromptChoice choice = promptChoice_.load();
    if (choice == QXPromptChoiceSend || choice == QXPromptChoiceAlwaysSend) return false;
    return settings().userPromptEnabled();
}

bool QXCrashReportingController::canProcessUrgentReports() {
    return settings().canProcessUrgentReports() && !needsToPrompt() &&
           !delegateNeedsToBeInformedOfReports();
}

// ---------------------------------------------------------------------------------------
// Reports of earlier runs

void QXCrashReportingController::processExistingReportPaths(
    const std::vector<std::filesystem::path>& paths, bool urgent) {
    for (const auto& path : paths) processExistingActiveReportPath(path, urgent);
}

void QXCrashReportingController::processExistingActiveReportPath(const std::filesystem::path& path,
                                                                 bool urgent) {
    const auto report = openReport(path, nullptr);
    if (!report->needsToBeSubmitted()) {
        // A run that ended without anything worth sending leaves nothing behind.
        onWorkQueue([report](QXCrashReportingController& self) { self.removeReport(report); });
        return;
    }
    const auto d = delegate();
    if (d) d->reportingControllerInternalDidDetectReportForLastExecution(*this, report);
    if (urgent && canProcessUrgentReports()) {
        // The last launch died before its main queue turned: it may die again soon, so the
        // report goes now, on this thread.
        reportsController()->prepareAndSubmitReport(report, true, true);
        return;
    }
    if (!d) return;  // nobody to decide: the report waits for a later start
    std::weak_ptr<QXCrashReportingController> weak = weak_from_this();
    auto answered = std::make_shared<std::atomic<bool>>(false);
    d->reportingControllerDidDetectReportForLastExecution(
        *this, report, [weak, report, answered](bool submit) {
            if (answered->exchange(true)) {
                log("[Quellix:Crash] The report '" + report->identifier() +
                    "' was already decided on; a second answer is ignored");
                return;
            }
            if (auto self = weak.lock()) self->handleDelegateCompletionForReport(report, submit);
        });
}

void QXCrashReportingController::handleDelegateCompletionForReport(
    const std::shared_ptr<QXInternalReport>& report, bool submit) {
    // The application may answer on any thread; the decision is always taken on the work
    // queue.
    onWorkQueue([report, submit](QXCrashReportingController& self) {
        if (!submit) {
            if (self.debug()) log("[Quellix:Crash] Removing report at request of delegate");
            self.removeReport(report);
        } else if (self.needsToPrompt()) {
            self.displayPermissionAlertForReport(report);
        } else {
            self.submitReport(report);
        }
    });
}

void QXCrashReportingController::submitReport(const std::shared_ptr<QXInternalReport>& report) {
    reportsController()->prepareAndSubmitReport(report, false, true);
}

void QXCrashReportingController::removeReport(const std::shared_ptr<QXInternalReport>& report) {
    if (report) fileManager_->removeItemAtPath(report->path());
}

void QXCrashReportingController::handleContentsInOtherReportingDirectories() {
    handleExistingFilesInProcessing();
    handleExistingFilesInPrepared();
}

void QXCrashReportingController::handleExistingFilesInProcessing() {
    handleExistingFilesInProcessing(fileManager_->processingPathContents());
}

void QXCrashReportingController::handleExistingFilesInPrepared() {
    handleExistingFilesInPrepared(fileManager_->preparedPathContents());
}

void QXCrashReportingController::handleExistingFilesInProcessing(
    const std::vector<std::filesystem::path>& entries) {
    if (entries.empty()) return;
    onWorkQueue([entries](QXCrashReportingController& self) {
        for (const auto& entry : entries) {
            bool named = false;
            const auto report = openReport(entry, &named);
            if (named && !report->needsToBeSubmitted()) {
                self.removeReport(report);
                continue;
            }
            // Processed already: it only needs packaging and its upload.
            self.reportsController()->prepareAndSubmitReport(report, false, false);
        }
    });
}

void QXCrashReportingController::handleExistingFilesInPrepared(
    const std::vector<std::filesystem::path>& entries) {
    if (entries.empty()) return;
    std::weak_ptr<QXCrashReportingController> weak = weak_from_this();
    networkClient_->attemptToReconnectBackgroundSessionWithCompletionBlock([weak, entries] {
        if (auto self = weak.lock())
            self->onWorkQueue([entries](QXCrashReportingController& controller) {
                controller.uploadPreexistingFiles(entries);
            });
    });
}

void QXCrashReportingController::uploadPreexistingFiles(
    const std::vector<std::filesystem::path>& paths) {
    for (const auto& path : paths) {
        std::error_code ec;
        if (std::filesystem::exists(path, ec))
            reportsController()->uploadPackagedReportAtPath(path, false);
    }
}

void QXCrashReportingController::retryUploadForReportAtPath(const std::filesystem::path& path) {
    std::weak_ptr<QXCrashReportingController> weak = weak_from_this();
    MainQueue::shared().asyncAfter(kRetryDelay, [weak, path] {
        if (auto self = weak.lock())
            self->onWorkQueue([path](QXCrashReportingController& controller) {
                if (controller.debug()) log("[Quellix:Crash] re-attempting report submission");
                controller.reportsController()->uploadPackagedReportAtPath(path, false);
            });
    });
}

// ---------------------------------------------------------------------------------------
// The submission prompt

void QXCrashReportingController::displayPermissionAlertForReport(
    const std::shared_ptr<QXInternalReport>& report) {
    if (environment_.isExtension()) {
        // An extension has no way to show an alert of its own: the report is sent.
        onWorkQueue([report](QXCrashReportingController& self) { self.submitReport(report); });
        return;
    }
    const QXSettings current = settings();
    std::string title = current.interactivePromptTitle();
    std::string message = current.interactivePromptMessage();
    std::string cancel = current.interactivePromptCancelTitle();
    std::string send = current.interactivePromptSendTitle();
    // An empty text (the service may send one) asks for no always-send button.
    std::optional<std::string> alwaysSend = current.interactivePromptAlwaysSendTitle();
    if (alwaysSend->empty()) alwaysSend.reset();
    if (debug()) log("[Quellix:Crash] Displaying permission alert");
    std::weak_ptr<QXCrashReportingController> weak = weak_from_this();
    MainQueue::shared().async([=] {
        if (auto self = weak.lock())
            self->setupAndDisplayAlert(title, message, cancel, send, alwaysSend, report);
    });
}

void QXCrashReportingController::setupAndDisplayAlert(
    const std::string& title, const std::string& message, const std::string& cancel,
    const std::string& send, const std::optional<std::string>& alwaysSend,
    const std::shared_ptr<QXInternalReport>& report) {
    switch (promptChoice_.load()) {
        case QXPromptChoiceSend:
        case QXPromptChoiceAlwaysSend:
            handlePromptCompleteForReport(report, true, false);
            return;
        case QXPromptChoiceDoNotSend:
            handlePromptCompleteForReport(report, false, false);
            return;
        case QXPromptChoiceNotAsked:
            break;
    }
    const auto presenter = registeredAlertPresenter();
    if (!presenter) {
        log("[Quellix:Crash] No alert can be shown; the report '" + report->identifier() +
            "' waits for the next start");
        return;
    }
    Alert alert;
    alert.messageText = title;
    alert.informativeText = message;
    alert.buttons.push_back(send);
    if (alwaysSend) alert.buttons.push_back(*alwaysSend);
    alert.buttons.push_back(cancel);
    const long response = presenter->runModal(alert);
    const long cancelResponse = alwaysSend ? kAlertThirdButtonReturn : kAlertSecondButtonReturn;
    if (response < kAlertFirstButtonReturn || response > cancelResponse) {
        // No button of this alert: nobody answered, so nothing is decided for the user.
        log("[Quellix:Crash] The alert gave no answer (" + std::to_string(response) +
            "); the report '" + report->identifier() + "' waits for the next start");
        return;
    }
    const bool submit = response != cancelResponse;
    handlePromptCompleteForReport(report, submit,
                                  alwaysSend && response == kAlertSecondButtonReturn);
}

void QXCrashReportingController::handlePromptCompleteForReport(
    const std::shared_ptr<QXInternalReport>& report, bool shouldSubmit,
    bool shouldMarkAlwaysSubmit) {
    // The answer holds at once: an alert for the next report of this run, already waiting on
    // the main queue, must not ask again.
    if (!shouldSubmit)
        promptChoice_.store(QXPromptChoiceDoNotSend);
    else if (promptChoice_.load() != QXPromptChoiceAlwaysSend)
        promptChoice_.store(shouldMarkAlwaysSubmit ? QXPromptChoiceAlwaysSend : QXPromptChoiceSend);
    onWorkQueue([report, shouldSubmit](QXCrashReportingController& self) {
        if (!shouldSubmit) {
            if (self.debug()) log("[Quellix:Crash] Removing report at request of user");
            self.removeReport(report);
            return;
        }
        self.submitReport(report);
    });
}

// ---------------------------------------------------------------------------------------
// The launch marker

std::filesystem::path QXCrashReportingController::launchFailureMarkerPath() const {
    return fileManager_->structurePath() / kLaunchMarkerName;
}

bool QXCrashReportingController::createLaunchFailureMarker() {
    const int fd = ::open(launchFailureMarkerPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

bool QXCrashReportingController::launchFailureMarkerPresent() const {
    std::error_code ec;
    return std::filesystem::exists(launchFailureMarkerPath(), ec);
}

bool QXCrashReportingController::removeLaunchFailureMarker() {
    return fileManager_->removeItemAtPath(launchFailureMarkerPath());
}

bool QXCrashReportingController::checkForAndCreateLaunchMarker() {
    if (launchFailureMarkerPresent()) {
        if (debug())
            log("[Quellix:Crash] Last launch failed: this may indicate a crash shortly after app "
                "launch.");
        return true;
    }
    createLaunchFailureMarker();
    return false;
}

// ---------------------------------------------------------------------------------------
// Notifications and the analytics event listener

void QXCrashReportingController::registerAnalyticsEventListener() {
    if (registeredAnalyticsEventListener_.exchange(true)) return;
    auto record = environment_.recordLogMessage;
    QXOVCAnalytics::registerAnalyticsEventListener([record](const ORVAEvent& event) {
        const auto dictionary = QXORVAEventToDictionary(event);
        if (!dictionary) return;
        std::string json;
        try {
            json = dictionary->dump();
        } catch (const nlohmann::json::exception&) {
            QXLogWarn("Unable to convert event to json");
            return;
        }
        record("$A$:" + json);
    });
}

void QXCrashReportingController::setupStateNotifications() {
    captureInitialNotificationStates();
    std::weak_ptr<QXCrashReportingController> weak = weak_from_this();
    auto& center = NotificationCenter::defaultCenter();
    stateObservers_.push_back(center.addObserver(
        kWillBecomeActiveNotification, nullptr, [weak](const Notification& n) {
            if (auto self = weak.lock()) self->willBecomeActive(n);
        }));
    stateObservers_.push_back(center.addObserver(
        kDidResignActiveNotification, nullptr, [weak](const Notification& n) {
            if (auto self = weak.lock()) self->didBecomeInactive(n);
        }));
}

void QXCrashReportingController::captureInitialNotificationStates() {
    environment_.writeInternalKeyValueAsync(kInBackgroundKey, "0");
}

void QXCrashReportingController::willBecomeActive(const Notification&) {
    environment_.recordInternalKeyValue(kInBackgroundKey, "0");
}

void QXCrashReportingController::didBecomeInactive(const Notification&) {
    environment_.recordInternalKeyValue(kInBackgroundKey, "1");
}

void QXCrashReportingController::tarnelSettingsDownloaded(const Notification&) {
    const auto d = delegate();
    if (d && d->settingsForCrashReportingController(*this).orvelleQuellixEnabled())
        registerAnalyticsEventListener();
    std::lock_guard lock(mutex_);
    if (settingsObserver_) {
        NotificationCenter::defaultCenter().removeObserver(*settingsObserver_);
        settingsObserver_.reset();
    }
}

// ---------------------------------------------------------------------------------------
// The crash handler, the upload client and the reports controller

void QXCrashReportingController::deliverCrashDelegateCallback() {
    // Inside the crash handler: the delegate is only called, nothing else is touched.
    if (crashCallbackDelegate_) crashCallbackDelegate_->detectedCrash();
}

bool QXCrashReportingController::networkClientCanUseBackgroundSessions(QXNetworkClient&) {
    const auto d = delegate();
    return d && d->reportingControllerCanUseBackgroundSessions(*this);
}

void QXCrashReportingController::networkClientDidFinishUploadWithPath(
    QXNetworkClient&, const std::string& path, const std::optional<net::Error>& error) {
    reportsController()->reportUploadAtPathCompletedWithError(path, error);
}

void QXCrashReportingController::reportsControllerDidCompletePackageSubmission(
    QXReportsController&, const std::filesystem::path& path,
    const std::optional<net::Error>& error) {
    if (!error) {
        if (debug()) log("[Quellix:Crash] report submission successful");
        return;
    }
    const std::string description = error->description();
    if (debug()) log("[Quellix:Crash] report submission failed with error " + description);
    QXLogWarn("Error: failed to submit report '%s'", description.c_str());
    if (isMissingFileError(*error)) {
        // The package is gone: another try could only fail the same way.
        log("[Quellix:Crash] The package " + path.string() + " no longer exists; not retried");
        return;
    }
    retryUploadForReportAtPath(path);
}

QXSettings QXCrashReportingController::settingsForReportsController(QXReportsController&) {
    return settings();
}

std::optional<std::string> QXCrashReportingController::APIKeyForReportsController(
    QXReportsController&) {
    return APIKey();
}

std::optional<std::string> QXCrashReportingController::bundleIdentifierForReportsController(
    QXReportsController&) {
    return bundleIdentifier();
}

}  // namespace wv
