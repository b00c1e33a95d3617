#include "sdk/crash/capture/QXSignal.h"

#include <errno.h>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "sdk/crash/capture/QXHandler.h"
#include "sdk/crash/capture/QXThreadList.h"
#include "sdk/crash/context/QXContext.h"
#include "sdk/crash/context/QXFile.h"
#include "sdk/crash/context/QXSDKLog.h"
#include "sdk/crash/context/QXUtility.h"

namespace wv {
namespace {

constexpr int kHandledSignals[kQXSignalCount] = {SIGABRT, SIGBUS, SIGFPE, SIGILL,
                                                 SIGSEGV, SIGSYS, SIGTRAP};

bool isDefault(const struct sigaction& action) {
    return !(action.sa_flags & SA_SIGINFO) && action.sa_handler == SIG_DFL;
}

void installHandlers() {
    for (int i = 0; i < kQXSignalCount; ++i) {
        struct sigaction action {};
        action.sa_sigaction = QXSignalHandler;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        struct sigaction previous {};
        if (sigaction(kHandledSignals[i], &action, &previous) != 0) {
            QXLogWarn("Unable to install handler for %d (%s)\n", kHandledSignals[i],
                      strerrordesc_np(errno));
            continue;
        }
        memset(&qxContext->signal.previous[i], 0, sizeof(struct sigaction));
        if (!isDefault(previous)) qxContext->signal.previous[i] = previous;
    }
}

void writeSignalLine(QXFile* file, int signal, const siginfo_t* info, int savedErrno) {
    QXFileWriteSectionStart(file, "signal");
    QXFileWriteHashStart(file);
    if (info != nullptr) {
        QXFileWriteHashEntryUint64(file, "number", uint64_t(int64_t(info->si_signo)));
        QXFileWriteHashEntryUint64(file, "code", uint64_t(int64_t(info->si_code)));
        QXFileWriteHashEntryUint64(file, "address", reinterpret_cast<uint64_t>(info->si_addr));
        QXFileWriteHashEntryString(file, "name", QXSignalNameForSignal(info->si_signo));
        QXFileWriteHashEntryString(file, "code_name", QXSignalCodeNameForSignal(info->si_signo));
    }
    (void)signal;
    QXFileWriteHashEntryUint64(file, "errno", uint64_t(int64_t(savedErrno)));
    QXFileWriteHashEntryUint64(file, "time", uint64_t(time(nullptr)));
    QXFileWriteHashEnd(file);
    QXFileWriteSectionEnd(file);
}

void recordSignal(int signal, const siginfo_t* info, const ucontext_t* userContext,
                  int savedErrno) {
    QXFile file;
    if (!QXFileInitWithPath(&file, qxContext->signal.path, false)) {
        QXLogWarn("Unable to open signal file\n");
        return;
    }
    writeSignalLine(&file, signal, info, savedErrno);
    QXFileFlushLineStage(&file);
    QXHandler(&file, QXThreadListCurrentTid(), userContext);
    QXFileClose(&file);
}

// Another thread crashed first and is recording: its report wins, ours is not written.
[[noreturn]] void waitForTheRecordAndExit() {
    QXLogWarn("Error: aborting signal handler because crash has already occurred\n");
    for (int i = 0;
         i < 2000 && !__atomic_load_n(&qxWritableContext->recordFinished, __ATOMIC_ACQUIRE); ++i) {
        timespec pause{0, 1'000'000};
        nanosleep(&pause, nullptr);
    }
    _exit(1);
}

// Sent signals and traps do not come back when the handler returns.
void raiseAgainIfNeeded(int signal, const siginfo_t* info) {
    if (signal == SIGTRAP || info == nullptr || info->si_code <= 0)
        syscall(SYS_tgkill, getpid(), QXThreadListCurrentTid(), signal);
}

}  // namespace

const char* QXSignalNameForSignal(int signal) {
    switch (signal) {
        case SIGILL:
            return "SIGILL";
        case SIGTRAP:
            return "SIGTRAP";
        case SIGABRT:
            return "SIGABRT";
        case SIGFPE:
            return "SIGFPE";
        case SIGBUS:
            return "SIGBUS";
        case SIGSEGV:
            return "SIGSEGV";
        case SIGSYS:
            return "SIGSYS";
        default:
            return "UNKNOWN";
    }
}

const char* QXSignalCodeNameForSignal(int signal) { return signal == SIGABRT ? "ABORT" : nullptr; }

void QXSignalInitialize() {
    if (!QXIsValidPointer(qxContext)) return;
    if (!QXUtilityUnlinkIfExists(qxContext->signal.path))
        QXLogWarn("Unable to reset the signal log file %s\n", strerrordesc_np(errno));
    QXThreadListInstallParkHandler();
    installHandlers();
}

void QXSignalHandler(int signal, siginfo_t* info, void* userContext) {
    const int savedErrno = errno;
    errno = 0;
    QXLogWarn("Signal: %d\n", signal);
    sigset_t all;
    sigemptyset(&all);
    if (sigprocmask(SIG_SETMASK, &all, nullptr) != 0)
        QXLogWarn("Unable to unmask signals - we risk infinite recursion here\n");
    if (!QXIsValidPointer(info)) info = nullptr;
    auto* context = QXIsValidPointer(userContext) ? static_cast<ucontext_t*>(userContext) : nullptr;

    if (QXIsValidPointer(qxContext) && QXIsValidPointer(qxWritableContext)) {
        const pid_t self = QXThreadListCurrentTid();
        if (QXContextMarkAndCheckIfCrashed()) {
            const pid_t recorder =
                __atomic_load_n(&qxWritableContext->recordingThread, __ATOMIC_ACQUIRE);
            if (recorder != self) waitForTheRecordAndExit();
            // The recorder itself faulted: what it wrote so far stays, and the fault now ends
            // the process as it would have without the kit.
            QXLogWarn("Error: crash while recording; restoring the previous handlers\n");
            QXSignalSafeInstallPreexistingHandlers();
            raiseAgainIfNeeded(signal, info);
            errno = savedErrno;
            return;
        }
        __atomic_store_n(&qxWritableContext->recordingThread, self, __ATOMIC_RELEASE);
        recordSignal(signal, info, context, savedErrno);
        __atomic_store_n(&qxWritableContext->recordFinished, 1, __ATOMIC_RELEASE);
        syscall(SYS_futex, &qxWritableContext->recordFinished, FUTEX_WAKE_PRIVATE, INT32_MAX,
                nullptr, nullptr, 0);
    }
    QXSignalSafeInstallPreexistingHandlers();
    raiseAgainIfNeeded(signal, info);
    errno = savedErrno;
}

void QXSignalSafeRemoveHandlers(bool includeAbort) {
    for (int i = 0; i < kQXSignalCount; ++i) {
        if (kHandledSignals[i] == SIGABRT && !includeAbort) continue;
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        if (sigaction(kHandledSignals[i], &action, nullptr) != 0)
            QXLogWarn("Unable to set default handler for %d (%s)\n", i, strerrordesc_np(errno));
    }
}

bool QXSignalSafeInstallPreexistingHandlers() {
    QXSignalSafeRemoveHandlers(true);
    if (!QXIsValidPointer(qxContext)) return false;
    bool success = true;
    for (int i = 0; i < kQXSignalCount; ++i) {
        const struct sigaction& previous = qxContext->signal.previous[i];
        if (isDefault(previous)) continue;
        if (sigaction(kHandledSignals[i], &previous, nullptr) != 0) {
            QXLogWarn("Unable to install handler for %d (%s)\n", i, strerrordesc_np(errno));
            success = false;
        }
    }
    // After the actions: putting back the old stack fails with EPERM while we still run on
    // ours, and that must not keep the previous actions away.
    // The saved stack was the main thread's; alternate stacks are per thread.
    const stack_t& stack = qxContext->signal.previousStack;
    if (stack.ss_sp != nullptr && QXThreadListCurrentTid() == getpid() &&
        sigaltstack(&stack, nullptr) != 0)
        QXLogWarn("Unable to setup stack %s\n", strerrordesc_np(errno));
    return success;
}

void QXSignalEnumerateHandledSignals(const std::function<void(int, int)>& block) {
    for (int i = 0; i < kQXSignalCount; ++i) block(i, kHandledSignals[i]);
}

void QXSignalCheckHandlers() {
    if (QXIsValidPointer(qxContext) && qxContext->debuggerAttached) return;
    for (int signal : kHandledSignals) {
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) != 0) {
            fputs("Unable to read signal handler\n", stderr);
            continue;
        }
        if ((current.sa_flags & SA_SIGINFO) && current.sa_sigaction == QXSignalHandler) continue;
        const auto address = (current.sa_flags & SA_SIGINFO)
                                 ? reinterpret_cast<uintptr_t>(current.sa_sigaction)
                                 : reinterpret_cast<uintptr_t>(current.sa_handler);
        std::string symbol = "(null)";
        QXLookupSymbolInfo(address, [&](const char* name, const char*) {
            if (name != nullptr) symbol = name;
        });
        fprintf(stderr,
                "[Quellix] The signal %s has a non-Quellix handler (%s).  This will interfere "
                "with reporting.\n",
                QXSignalNameForSignal(signal), symbol.c_str());
    }
}

}  // namespace wv
