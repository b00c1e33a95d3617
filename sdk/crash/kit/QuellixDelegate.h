#pragma once

// What the application may hear from the crash kit. Every callback is optional: an empty
// function is one the delegate does not implement, and the kit then takes its default.

#include <functional>
#include <memory>
#include <string>

namespace wv {

class Quellix;
class QXReport;

struct QuellixDelegate {
    // Whether to send a report of an earlier run; may be called later, on any thread. Only
    // the first call counts.
    using CompletionHandler = std::function<void(bool submit)>;

    // `quellixDidDetectReportForLastExecution:completionHandler:`: an unsent report of an
    // earlier run was found; called on the thread that starts the kit, during start.
    std::function<void(const std::shared_ptr<QXReport>& report, CompletionHandler handler)>
        quellixDidDetectReportForLastExecutionCompletionHandler;

    // The legacy methods, called asynchronously on the main queue.
    // `quellixDidDetectReportForLastExecution:`: the same report, frozen (prefetched).
    std::function<void(const std::shared_ptr<QXReport>& report)>
        quellixDidDetectReportForLastExecution;
    // `quellix:didDetectCrashDuringPreviousExecution:` (deprecated).
    std::function<void(Quellix& kit, const std::shared_ptr<QXReport>& report)>
        quellixDidDetectCrashDuringPreviousExecutionReport;
    // `quellixDidDetectCrashDuringPreviousExecution:` (deprecated).
    std::function<void(Quellix& kit)> quellixDidDetectCrashDuringPreviousExecution;

    // `quellixDidDetectCrash:`: the process is crashing now. Called synchronously on the
    // crashing thread inside the crash handler, so it must take no lock, allocate nothing and
    // wait for no queue. Only a delegate that had it when the kit started is called.
    std::function<void(Quellix& kit)> quellixDidDetectCrash;

    // `quellix:ensureDeliveryOfUnixSignal:`: asked once per handled signal at start.
    std::function<bool(Quellix& kit, int signal)> quellixEnsureDeliveryOfUnixSignal;
    // `quellixCanUseBackgroundSessions:`.
    std::function<bool(Quellix& kit)> quellixCanUseBackgroundSessions;

    bool implementsLegacyMethods() const {
        return bool(quellixDidDetectReportForLastExecution) ||
               bool(quellixDidDetectCrashDuringPreviousExecutionReport) ||
               bool(quellixDidDetectCrashDuringPreviousExecution);
    }
};

// "<QuellixDelegate: 0x...>", how the kit's log lines name a delegate.
std::string QuellixDelegateDescription(const QuellixDelegate& delegate);

}  // namespace wv
