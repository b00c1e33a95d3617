#pragma once

// The crash kit's public class and its one object. The kit core starts it as one of its kits
// (its kit class is linked under "Quellix"); on its one start it builds the report folder
// tree, the beta controller where beta applies and the crash reporting controller, then starts
// the analytics kit. It answers the two controllers from the kit core and relays report and
// crash callbacks to the application's own delegate, and offers the application user logging,
// web-view monitoring, analytics events, a test crash and a test exception.
//
// Threads: sharedInstance() and start() are safe from any thread and start runs once; the
// start runs on its caller's thread and returns once the crash context is whole (handlers,
// image record), so that a crash right after it leaves a complete report. The setters may be called from any thread (user logging
// serialises its writes). The delegate is read under a lock everywhere except in the crash
// handler, which calls the crash callback captured at start.

#include <any>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/dispatch/OnceToken.h"
#include "platform/foundation/Error.h"
#include "platform/plist/Value.h"
#include "platform/webkit/ScriptMessageHandler.h"
#include "platform/webkit/WebViewConfiguration.h"
#include "sdk/core/TRNKit.h"
#include "sdk/crash/capture/QXStackFrame.h"
#include "sdk/crash/kit/QXBetaControllerDelegate.h"
#include "sdk/crash/kit/QXCrashReportingControllerDelegate.h"
#include "sdk/crash/kit/QXUserLogging.h"
#include "sdk/crash/kit/QuellixDelegate.h"

namespace wv {

class QXBetaController;
class QXCrashReportingController;
class QXFileManager;

class Quellix : public QXCrashReportingControllerDelegate,
                public QXBetaControllerDelegate,
                public webkit::ScriptMessageHandler,
                public std::enable_shared_from_this<Quellix> {
  public:
    static constexpr const char* kClassName = "Quellix";
    static constexpr const char* kBundleIdentifier = "com.balvik.quellix.mac";
    static constexpr const char* kKitDisplayVersion = "3.10.1";
    static constexpr const char* kKitBuildVersion = "129";
    // The legacy defaults: this file in this folder of the user's data folder.
    static constexpr const char* kHistoricDefaultsFolder = "com.quellix";
    static constexpr const char* kHistoricDefaultsFile = "QXUserDefaults.plist";
    static constexpr const char* kHistoricInstallIDKey = "com.quellix.iuuid";
    static constexpr const char* kTestExceptionName = "QuellixTestException";
    static constexpr const char* kTestExceptionReason =
        "This is an Objective-C exception using for testing.";

    // The one object, made on first use.
    static std::shared_ptr<Quellix> sharedInstance();
    // Allocation and `init`: there is no other object to make, so it yields the shared one.
    static std::shared_ptr<Quellix> init();

    // The kit class, linked under "Quellix" on first use so that the kit core finds it by
    // name (pass it to Tarnel::with). load() links it at program start for the Orvelle path,
    // which looks the kit up before anyone names it.
    static const TRNKitClass& kitClass();
    static void load();

    static std::string bundleIdentifier() { return kBundleIdentifier; }
    static std::string kitDisplayVersion() { return kKitDisplayVersion; }
    static std::string kitBuildVersion() { return kKitBuildVersion; }
    // How the kit core starts the kit: start() on the shared object.
    static void initializeIfNeeded();

    // The legacy start by API key; each returns the shared object.
    static std::shared_ptr<Quellix> startWithAPIKey(const std::string& APIKey);
    static std::shared_ptr<Quellix> startWithAPIKey(const std::string& APIKey,
                                                    std::shared_ptr<QuellixDelegate> delegate);
    // Deprecated: the delay is ignored.
    static std::shared_ptr<Quellix> startWithAPIKeyAfterDelay(const std::string& APIKey,
                                                              double delay);
    static std::shared_ptr<Quellix> startWithAPIKeyAfterDelay(
        const std::string& APIKey, std::shared_ptr<QuellixDelegate> delegate, double delay);

    ~Quellix() override;
    Quellix(const Quellix&) = delete;
    Quellix& operator=(const Quellix&) = delete;

    // The start sequence, once per process; later calls do nothing.
    void start();
    bool isQuellixStarted() const;

    std::string version() const { return kKitDisplayVersion; }
    std::optional<plist::Dictionary> kitInfo() const { return std::nullopt; }
    void setKitInfo(const std::optional<plist::Dictionary>&) {}
    std::optional<plist::Dictionary> settingsDictionary() const { return std::nullopt; }

    std::optional<std::string> APIKey() const;
    // The historic installation identifier when the legacy defaults hold one, else the kit
    // core's.
    std::string installID() const;
    bool isFirstInstall() const;
    std::optional<std::string> getHistoricInstallID() const;
    // The legacy defaults dictionary, when that file exists, is no folder and reads as one.
    std::optional<plist::Dictionary> attemptToLoadMacHistoricDefaults() const;

    // The kit core's debug flag, set as given.
    void setDebugMode(bool debugMode);
    bool debugMode() const;

    void setDelegate(std::shared_ptr<QuellixDelegate> delegate);
    std::shared_ptr<QuellixDelegate> delegate() const;

    // The test crash: an illegal instruction, at once.
    [[noreturn]] static void crash();
    // The test exception: a platform exception "QuellixTestException".
    [[noreturn]] static void throwException();

    // Identity and custom keys for the next report (an absent value removes the key).
    void setUserIdentifier(const std::optional<std::string>& identifier);
    void setUserName(const std::optional<std::string>& name);
    void setUserEmail(const std::optional<std::string>& email);
    void setDevelopmentPlatformName(const std::optional<std::string>& name);
    void setDevelopmentPlatformVersion(const std::optional<std::string>& version);
    // Write-only: logs and gives none.
    std::optional<std::string> developmentPlatformName() const;
    std::optional<std::string> developmentPlatformVersion() const;
    // Any value user logging can describe (see QXUserLoggingDescription); empty is nil.
    void setObjectValue(const std::any& value, const std::optional<std::string>& key);
    void setIntValue(int32_t value, const std::optional<std::string>& key);
    void setBoolValue(bool value, const std::optional<std::string>& key);
    void setFloatValue(float value, const std::optional<std::string>& key);

    // Non-fatal errors and custom exceptions of this run.
    void recordError(const Error& error);
    void recordError(const Error& error, const std::optional<QXUserInfo>& additionalUserInfo);
    void recordCustomExceptionName(const std::string& name, const std::string& reason,
                                   const std::vector<QXStackFrame>& frameArray);

    // Web views.
    void monitorErrorsForWKWebViewConfiguration(webkit::WebViewConfiguration& configuration);
    void userContentControllerDidReceiveScriptMessage(
        webkit::UserContentController& controller, const webkit::ScriptMessage& message) override;

    // Analytics events through the analytics kit, when it is linked.
    void logEvent(const std::string& name);
    void logEvent(const std::string& name, const std::optional<plist::Dictionary>& attributes);

    std::shared_ptr<QXBetaController> betaController() const;
    std::shared_ptr<QXCrashReportingController> crashReportingController() const;

    // QXCrashReportingControllerDelegate.
    bool shouldInstallCrashCallback() override;
    void detectedCrash() override;
    bool reportingControllerCanUseBackgroundSessions(
        QXCrashReportingController& controller) override;
    bool reportingControllerMustInformDelegateOfReports(
        QXCrashReportingController& controller) override;
    void reportingControllerDidDetectReportForLastExecution(
        QXCrashReportingController& controller, const std::shared_ptr<QXInternalReport>& report,
        SubmitHandler completionHandler) override;
    void reportingControllerInternalDidDetectReportForLastExecution(
        QXCrashReportingController& controller,
        const std::shared_ptr<QXInternalReport>& report) override;
    bool reportingControllerEnsureDeliveryOfUnixSignal(QXCrashReportingController& controller,
                                                       int signal) override;
    std::optional<std::string> APIKeyForCrashReportingController(
        QXCrashReportingController& controller) override;
    std::optional<std::string> installIDForCrashReportingController(
        QXCrashReportingController& controller) override;
    bool isFirstInstallForCrashReportingController(
        QXCrashReportingController& controller) override;
    QXSettings settingsForCrashReportingController(
        QXCrashReportingController& controller) override;

    // QXBetaControllerDelegate.
    QXSettings settingsForBetaController(QXBetaController& controller) override;
    std::optional<std::string> APIKeyForBetaController(QXBetaController& controller) override;

  private:
    struct Passkey {};

  public:
    explicit Quellix(Passkey);

  private:
    void runStart();
    void checkDelegateWarnings();
    void waitForCrashContext();
    std::optional<std::string> betaToken() const;

    OnceToken startOnce_;
    mutable std::mutex mutex_;  // the delegate and the two controllers
    std::shared_ptr<QuellixDelegate> delegate_;
    std::shared_ptr<QXCrashReportingController> crashReportingController_;
    std::shared_ptr<QXBetaController> betaController_;
    // The crash callback as the delegate had it at start, read without a lock in the crash
    // handler; set before the handlers are installed and kept for the process.
    std::shared_ptr<QuellixDelegate> crashDelegate_;
};

}  // namespace wv
