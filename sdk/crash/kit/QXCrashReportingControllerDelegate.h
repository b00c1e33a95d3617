#pragma once

// What the crash reporting controller asks of the crash kit, and what it tells it. The crash
// kit object answers from the kit core and relays to the application's own delegate.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "sdk/crash/report/QXSettings.h"

namespace wv {

class QXCrashReportingController;
class QXInternalReport;

class QXCrashReportingControllerDelegate {
  public:
    // Whether to send a report of an earlier run. It may be called on any thread, at any
    // time; the controller takes the first call and ignores any later one. Never calling it
    // leaves the report where it is, to be offered again at the next start.
    using SubmitHandler = std::function<void(bool submit)>;

    virtual ~QXCrashReportingControllerDelegate() = default;

    // Asked once, at start: whether the crash handler should call detectedCrash().
    virtual bool shouldInstallCrashCallback() = 0;
    // The process is crashing now: called synchronously on the crashing thread, inside the
    // crash handler. It must take no lock and wait for no queue.
    virtual void detectedCrash() = 0;

    virtual bool reportingControllerCanUseBackgroundSessions(
        QXCrashReportingController& controller) = 0;
    // True when the application wants to decide about each report itself.
    virtual bool reportingControllerMustInformDelegateOfReports(
        QXCrashReportingController& controller) = 0;
    // An unsent report of an earlier run, on the thread that starts the kit.
    virtual void reportingControllerDidDetectReportForLastExecution(
        QXCrashReportingController& controller, const std::shared_ptr<QXInternalReport>& report,
        SubmitHandler completionHandler) = 0;
    // Every report of an earlier run worth sending, before it is offered or sent.
    virtual void reportingControllerInternalDidDetectReportForLastExecution(
        QXCrashReportingController& controller,
        const std::shared_ptr<QXInternalReport>& report) = 0;
    // Asked once per handled signal at start: whether that signal must reach its own handler
    // rather than be taken as a Mach exception. A delegate that does not answer the question
    // keeps this default, which leaves every signal to the Mach exception path.
    virtual bool reportingControllerEnsureDeliveryOfUnixSignal(
        QXCrashReportingController& controller, int signal) {
        (void)controller;
        (void)signal;
        return false;
    }

    virtual std::optional<std::string> APIKeyForCrashReportingController(
        QXCrashReportingController& controller) = 0;
    virtual std::optional<std::string> installIDForCrashReportingController(
        QXCrashReportingController& controller) = 0;
    virtual bool isFirstInstallForCrashReportingController(
        QXCrashReportingController& controller) = 0;
    // A new settings object over the kit core's current settings each time.
    virtual QXSettings settingsForCrashReportingController(
        QXCrashReportingController& controller) = 0;
};

}  // namespace wv
