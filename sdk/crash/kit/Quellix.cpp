#include "sdk/crash/kit/Quellix.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/SerialQueue.h"
#include "platform/foundation/Folders.h"
#include "platform/foundation/Log.h"
#include "sdk/core/TRNHost.h"
#include "sdk/core/TRNPlurioOperations.h"
#include "sdk/core/Tarnel.h"
#include "sdk/crash/capture/QXException.h"
#include "sdk/crash/context/QXApplication.h"
#include "sdk/crash/context/QXContext.h"
#include "sdk/crash/context/QXContextInitialize.h"
#include "sdk/crash/kit/QXBetaController.h"
#include "sdk/crash/kit/QXCrashReportingController.h"
#include "sdk/crash/kit/QXReport.h"
#include "sdk/crash/kit/QXWebView.h"
#include "sdk/crash/report/QXFileManager.h"

namespace wv {

namespace {

Tarnel& core() { return Tarnel::sharedSDK(); }

// Called from the crash handler too, so it must not allocate: the names are constants.
bool implementsReportQuestion(const QuellixDelegate* delegate) {
    return delegate && (delegate->quellixDidDetectReportForLastExecutionCompletionHandler ||
                        delegate->implementsLegacyMethods());
}

}  // namespace

std::string QuellixDelegateDescription(const QuellixDelegate& delegate) {
    char text[64];
    std::snprintf(text, sizeof text, "<QuellixDelegate: %p>", static_cast<const void*>(&delegate));
    return text;
}

// ---- The class ----

std::shared_ptr<Quellix> Quellix::sharedInstance() {
    // Never destroyed: the kit's queues and the crash handler may use it until the process
    // ends.
    static auto* shared = new std::shared_ptr<Quellix>(std::make_shared<Quellix>(Passkey{}));
    return *shared;
}

std::shared_ptr<Quellix> Quellix::init() { return sharedInstance(); }

Quellix::Quellix(Passkey) {}

Quellix::~Quellix() = default;

const TRNKitClass& Quellix::kitClass() {
    static const TRNKitClass& kit = [] () -> const TRNKitClass& {
        static TRNKitClass k;
        k.name = kClassName;
        k.declaresTRNKit = true;
        k.bundleIdentifier = [] { return bundleIdentifier(); };
        k.kitDisplayVersion = [] { return kitDisplayVersion(); };
        k.kitBuildVersion = [] { return kitBuildVersion(); };
        k.initializeIfNeeded = [] { initializeIfNeeded(); };
        TRNRegisterKitClass(k);
        return k;
    }();
    return kit;
}

void Quellix::load() { kitClass(); }

void Quellix::initializeIfNeeded() { sharedInstance()->start(); }

std::shared_ptr<Quellix> Quellix::startWithAPIKey(const std::string& APIKey) {
    return startWithAPIKey(APIKey, nullptr);
}

std::shared_ptr<Quellix> Quellix::startWithAPIKey(const std::string& APIKey,
                                                  std::shared_ptr<QuellixDelegate> delegate) {
    auto kit = sharedInstance();
    if (delegate) kit->setDelegate(std::move(delegate));
    // The kit core here has no start of its own by API key, so the installation mode decides:
    // a start through Orvelle (mode 2) has started the kits already.
    Tarnel& sdk = core();
    const uint64_t previous = sdk.installationMode();
    sdk.setInstallationMode(1);
    if (previous == 2) {
        Log::system(
            "[Quellix] Warning, calling startWithAPIKey:... after [ORVApp configure] or "
            "OrvelleApp.configure() is not supported");
        return kit;
    }
    sdk.setAPIKey(APIKey);
    Tarnel::with({TRNKitInstance{&kitClass()}});
    return kit;
}

std::shared_ptr<Quellix> Quellix::startWithAPIKeyAfterDelay(const std::string& APIKey, double) {
    Log::system("[Quellix] Warning, startWithAPIKey:afterDelay: is deprecated.");
    return startWithAPIKey(APIKey);
}

std::shared_ptr<Quellix> Quellix::startWithAPIKeyAfterDelay(
    const std::string& APIKey, std::shared_ptr<QuellixDelegate> delegate, double) {
    Log::system("[Quellix] Warning, startWithAPIKey:delegate:afterDelay: is deprecated.");
    return startWithAPIKey(APIKey, std::move(delegate));
}

// ---- Start ----

void Quellix::start() {
    startOnce_.call([this] { runStart(); });
}

void Quellix::runStart() {
    const QXProfileMark mark = QXProfilingStart();
    Log::system(std::string("[Quellix] Version ") + kKitDisplayVersion + " (" + kKitBuildVersion +
                ")");
    if (core().debug()) {
        Log::system("[Quellix] Running on " + TRNHostModel().value_or("(null)") + ", " +
                    TRNHostOSDisplayVersion() + " (" + TRNHostOSBuildVersion().value_or("(null)") +
                    ")");
    }
    std::weak_ptr<Quellix> weak = weak_from_this();
    MainQueue::shared().async([weak] {
        if (auto self = weak.lock()) self->checkDelegateWarnings();
    });

    auto fileManager = std::make_shared<QXFileManager>();
    std::shared_ptr<QXBetaController> beta;
    if (QXBetaController::isBetaSupported()) {
        beta = QXBetaController::create(weak);
        {
            std::lock_guard lock(mutex_);
            betaController_ = beta;
        }
        if (!beta->start()) Log::system("[Quellix] Beta could not be initialized");
    }
    const std::optional<std::string> token = beta ? beta->betaToken() : std::nullopt;

    auto controller = QXCrashReportingController::create(fileManager, weak);
    {
        std::lock_guard lock(mutex_);
        crashReportingController_ = controller;
    }
    if (!controller->startWithProfilingMark(mark, token)) {
        Log::system("[Quellix] Crash reporting could not be initialized");
    } else {
        waitForCrashContext();
    }

    // The analytics kit starts whatever became of crash reporting.
    if (auto plurio = TRNPlurioOperationsIfLinked(); plurio && plurio->startWithBetaToken) {
        plurio->startWithBetaToken(token);
    }
}

// A crash right after the start must leave a whole report, and the start is where a crash
// of a failed launch is most likely. The crash context counts as initialised only once a last
// block on the global pool has run, which may come after the initialisation call returned;
// until then the crash paths record neither images nor exceptions. And the loaded images are
// written to the run's image record on their own queue: a report without that record cannot
// be symbolicated at the next launch.
void Quellix::waitForCrashContext() {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration<double>(kQXInitializationWait);
    while (!QXContextIsInitialized() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    if (QXContextIsInitialized() && qxBinaryImagesQueue != nullptr) {
        qxBinaryImagesQueue->sync([] {});
    }
}

void Quellix::checkDelegateWarnings() {
    auto current = delegate();
    if (!current) return;
    if (current->implementsLegacyMethods()) {
        Log::system("[Quellix] The Quellix delegate '" + QuellixDelegateDescription(*current) +
                    "' implements deprecated methods.  Please see Quellix.h for details.");
    }
    if (current->quellixCanUseBackgroundSessions &&
        current->quellixCanUseBackgroundSessions(*this) && QXApplicationIsExtension()) {
        Log::system(
            "[Quellix] Background sessions are not supported in extensions. Please see "
            "Quellix.h for details.");
    }
}

bool Quellix::isQuellixStarted() const {
    std::lock_guard lock(mutex_);
    return crashReportingController_ != nullptr;
}

std::shared_ptr<QXBetaController> Quellix::betaController() const {
    std::lock_guard lock(mutex_);
    return betaController_;
}

std::shared_ptr<QXCrashReportingController> Quellix::crashReportingController() const {
    std::lock_guard lock(mutex_);
    return crashReportingController_;
}

std::optional<std::string> Quellix::betaToken() const {
    auto beta = betaController();
    return beta ? beta->betaToken() : std::nullopt;
}

// ---- Identity and switches ----

std::optional<std::string> Quellix::APIKey() const { return core().APIKey(); }

std::string Quellix::installID() const {
    if (auto historic = getHistoricInstallID()) return *historic;
    return core().installID();
}

bool Quellix::isFirstInstall() const { return core().isFirstInstall(); }

std::optional<std::string> Quellix::getHistoricInstallID() const {
    auto defaults = attemptToLoadMacHistoricDefaults();
    if (!defaults) return std::nullopt;
    const plist::Value* value = defaults->find(kHistoricInstallIDKey);
    const std::string* id = value ? value->get<std::string>() : nullptr;
    if (!id) return std::nullopt;
    return *id;
}

std::optional<plist::Dictionary> Quellix::attemptToLoadMacHistoricDefaults() const {
    const auto path = Folders::dataHome() / kHistoricDefaultsFolder / kHistoricDefaultsFile;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec) || std::filesystem::is_directory(path, ec)) {
        return std::nullopt;
    }
    auto value = plist::readFile(path);
    const plist::Dictionary* dictionary = value ? value->get<plist::Dictionary>() : nullptr;
    if (!dictionary) return std::nullopt;
    return *dictionary;
}

void Quellix::setDebugMode(bool debugMode) {
    core().setDebug(debugMode);
    if (isQuellixStarted()) {
        Log::system("[Quellix] Warning, consider enabling debug mode before starting Quellix");
    }
}

bool Quellix::debugMode() const { return core().debug(); }

void Quellix::setDelegate(std::shared_ptr<QuellixDelegate> delegate) {
    {
        std::lock_guard lock(mutex_);
        delegate_ = std::move(delegate);
    }
    if (isQuellixStarted()) {
        Log::system(
            "[Quellix] Warning, setting delegate after start. Make sure to set the Quellix "
            "delegate before calling startWithAPIKey:.., or +[Tarnel with...] to avoid missing "
            "some delegate callbacks.");
    }
}

std::shared_ptr<QuellixDelegate> Quellix::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}

void Quellix::crash() { __builtin_trap(); }

void Quellix::throwException() { QXExceptionRaiseTestPlatformException(); }

// ---- User logging ----

void Quellix::setUserIdentifier(const std::optional<std::string>& identifier) {
    QXUserLoggingRecordInternalKeyValue(kQXUserIdentifierKey, identifier);
}

void Quellix::setUserName(const std::optional<std::string>& name) {
    QXUserLoggingRecordInternalKeyValue(kQXUserNameKey, name);
}

void Quellix::setUserEmail(const std::optional<std::string>& email) {
    QXUserLoggingRecordInternalKeyValue(kQXUserEmailKey, email);
}

void Quellix::setDevelopmentPlatformName(const std::optional<std::string>& name) {
    QXUserLoggingRecordInternalKeyValue(kQXDevelopmentPlatformNameKey, name);
}

void Quellix::setDevelopmentPlatformVersion(const std::optional<std::string>& version) {
    QXUserLoggingRecordInternalKeyValue(kQXDevelopmentPlatformVersionKey, version);
}

std::optional<std::string> Quellix::developmentPlatformName() const {
    Log::system("[Quellix] developmentPlatformName is write-only");
    return std::nullopt;
}

std::optional<std::string> Quellix::developmentPlatformVersion() const {
    Log::system("[Quellix] developmentPlatformVersion is write-only");
    return std::nullopt;
}

void Quellix::setObjectValue(const std::any& value, const std::optional<std::string>& key) {
    QXUserLoggingRecordUserKeyValue(key, value);
}

void Quellix::setIntValue(int32_t value, const std::optional<std::string>& key) {
    setObjectValue(value, key);
}

void Quellix::setBoolValue(bool value, const std::optional<std::string>& key) {
    setObjectValue(value, key);
}

void Quellix::setFloatValue(float value, const std::optional<std::string>& key) {
    setObjectValue(value, key);
}

void Quellix::recordError(const Error& error) { recordError(error, std::nullopt); }

void Quellix::recordError(const Error& error, const std::optional<QXUserInfo>& additionalUserInfo) {
    QXUserLoggingRecordError(&error, additionalUserInfo);
}

void Quellix::recordCustomExceptionName(const std::string& name, const std::string& reason,
                                        const std::vector<QXStackFrame>& frameArray) {
    const std::vector<QXStackFrame> frames = frameArray;
    QXExceptionRecord(QXExceptionTypeCustom, name.c_str(), reason.c_str(), frames.data(),
                      uint32_t(frames.size()), false);
}

// ---- Web views ----

void Quellix::monitorErrorsForWKWebViewConfiguration(webkit::WebViewConfiguration& configuration) {
    if (auto controller = configuration.userContentController()) {
        controller->addScriptMessageHandler(shared_from_this(), kQXWebViewMessageHandlerName);
    }
    if (!QXWebViewInstallErrorScript(configuration)) {
        Log::system("[Quellix] Unable to monitor " + configuration.description());
    }
}

void Quellix::userContentControllerDidReceiveScriptMessage(webkit::UserContentController&,
                                                           const webkit::ScriptMessage& message) {
    if (!QXWebViewRecordScriptMessage(message)) {
        Log::system("[Quellix] Unable to record exception from WKWebView");
    }
}

// ---- Analytics events ----

void Quellix::logEvent(const std::string& name) { logEvent(name, std::nullopt); }

void Quellix::logEvent(const std::string& name,
                       const std::optional<plist::Dictionary>& attributes) {
    if (auto plurio = TRNPlurioOperationsIfLinked(); plurio && plurio->logCustomEventWithName) {
        plurio->logCustomEventWithName(name, attributes);
    }
}

// ---- The crash reporting controller's questions ----

bool Quellix::shouldInstallCrashCallback() {
    auto current = delegate();
    if (!current || !current->quellixDidDetectCrash) return false;
    // Captured before the handlers exist, and never replaced: the crash handler reads it
    // without a lock.
    if (!crashDelegate_) crashDelegate_ = current;
    return true;
}

void Quellix::detectedCrash() {
    const QuellixDelegate* target = crashDelegate_.get();
    if (target && target->quellixDidDetectCrash) target->quellixDidDetectCrash(*this);
}

bool Quellix::reportingControllerCanUseBackgroundSessions(QXCrashReportingController&) {
    auto current = delegate();
    if (current && current->quellixCanUseBackgroundSessions) {
        return current->quellixCanUseBackgroundSessions(*this);
    }
    return !QXApplicationIsExtension();
}

bool Quellix::reportingControllerMustInformDelegateOfReports(QXCrashReportingController&) {
    auto current = delegate();
    return implementsReportQuestion(current.get());
}

void Quellix::reportingControllerDidDetectReportForLastExecution(
    QXCrashReportingController&, const std::shared_ptr<QXInternalReport>& report,
    SubmitHandler completionHandler) {
    auto current = delegate();
    std::shared_ptr<QXReport> publicReport;
    if (current && current->quellixDidDetectReportForLastExecution) {
        publicReport = QXReport::initWithInternalReport(report, true);
        MainQueue::shared().async([current, publicReport] {
            current->quellixDidDetectReportForLastExecution(publicReport);
        });
    }
    if (!implementsReportQuestion(current.get())) {
        completionHandler(true);
        return;
    }
    if (!publicReport) publicReport = QXReport::initWithInternalReport(report, false);
    if (current->quellixDidDetectReportForLastExecutionCompletionHandler) {
        current->quellixDidDetectReportForLastExecutionCompletionHandler(publicReport,
                                                                         completionHandler);
    } else {
        completionHandler(true);
    }
    std::weak_ptr<Quellix> weak = weak_from_this();
    MainQueue::shared().async([weak, current, publicReport] {
        auto self = weak.lock();
        if (!self) return;
        if (current->quellixDidDetectCrashDuringPreviousExecutionReport) {
            current->quellixDidDetectCrashDuringPreviousExecutionReport(*self, publicReport);
        }
        if (current->quellixDidDetectCrashDuringPreviousExecution) {
            current->quellixDidDetectCrashDuringPreviousExecution(*self);
        }
    });
}

void Quellix::reportingControllerInternalDidDetectReportForLastExecution(
    QXCrashReportingController&, const std::shared_ptr<QXInternalReport>& report) {
    auto publicReport = QXReport::initWithInternalReport(report, false);
    if (!publicReport->isCrash()) return;
    // A crash without a creation date has nothing to tell the analytics kit.
    const auto date = publicReport->dateCreated();
    if (!date) return;
    MainQueue::shared().async([date = *date] {
        auto plurio = TRNPlurioOperationsIfLinked();
        if (plurio && plurio->logPreviousSessionCrashedOnDate) {
            plurio->logPreviousSessionCrashedOnDate(date);
        }
    });
}

bool Quellix::reportingControllerEnsureDeliveryOfUnixSignal(QXCrashReportingController&,
                                                            int signal) {
    auto current = delegate();
    if (current && current->quellixEnsureDeliveryOfUnixSignal) {
        return current->quellixEnsureDeliveryOfUnixSignal(*this, signal);
    }
    return false;
}

std::optional<std::string> Quellix::APIKeyForCrashReportingController(QXCrashReportingController&) {
    return APIKey();
}

std::optional<std::string> Quellix::installIDForCrashReportingController(
    QXCrashReportingController&) {
    return installID();
}

bool Quellix::isFirstInstallForCrashReportingController(QXCrashReportingController&) {
    return isFirstInstall();
}

QXSettings Quellix::settingsForCrashReportingController(QXCrashReportingController&) {
    return QXSettings(core().settings());
}

QXSettings Quellix::settingsForBetaController(QXBetaController&) {
    return QXSettings(core().settings());
}

std::optional<std::string> Quellix::APIKeyForBetaController(QXBetaController&) { return APIKey(); }

}  // namespace wv
