// A program that initialises a crash context under $XDG_CACHE_HOME/report, starts a serial
// queue and two named threads, and then crashes the way it is told, so the tests can watch
// the report it leaves and how it dies.
//   crash_child <mode>
// Modes: null-write, ud2, abort, throw, overflow, thread-fault, trap, raise, wait-for-kill,
// earlier-handler, ignored-handler, terminate-chain, fault-in-recorder, second-crash, blocked-park,
// platform-exception, check-handlers, deep-threads, symbolicate (the next launch: processes
// the report an earlier run left in the folder and exits).
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/dispatch/SerialQueue.h"
#include "platform/foundation/PlatformException.h"
#include "platform/plist/UserDefaults.h"
#include "sdk/crash/capture/QXCaptureInstallers.h"
#include "sdk/crash/capture/QXException.h"
#include "sdk/crash/capture/QXHandler.h"
#include "sdk/crash/capture/QXSignal.h"
#include "sdk/crash/capture/QXThreadList.h"
#include "sdk/crash/context/QXContext.h"
#include "sdk/crash/context/QXContextInitialize.h"
#include "sdk/crash/report/QXProcessReportOperation.h"

using namespace wv;

namespace {

std::atomic<int> ready{0};
std::atomic<bool> blockParkSignal{false};

// Kept out of line and apart, so every crash has frames of its own to compare.
// The compiler must not see the null: it would drop the store or turn it into a trap.
__attribute__((noinline)) void writeThroughNull() {
    volatile int* target = nullptr;
    asm volatile("" : "+r"(target));
    *target = 1;
    asm volatile("" ::: "memory");
}

__attribute__((noinline)) void executeUndefined() {
    asm volatile("ud2");
    asm volatile("" ::: "memory");
}

__attribute__((noinline)) void callAbort() {
    abort();
    asm volatile("" ::: "memory");
}

__attribute__((noinline)) void throwUncaught() { throw std::runtime_error("crash child gives up"); }

__attribute__((noinline)) int recurse(int depth) {
    volatile char pad[256];
    pad[0] = char(depth);
    const int below = recurse(depth + 1);
    asm volatile("" ::: "memory");
    return below + pad[0];
}

__attribute__((noinline)) void trap() {
    asm volatile("int3");
    asm volatile("" ::: "memory");
}

__attribute__((noinline)) void deepThenWait(int depth) {
    if (depth > 0) {
        deepThenWait(depth - 1);
        asm volatile("" ::: "memory");
        return;
    }
    ++ready;
    for (;;) pause();
}

void namedThread(const char* name) {
    pthread_setname_np(pthread_self(), name);
    if (blockParkSignal) {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, nullptr);
    }
    ++ready;
    for (;;) pause();
}

void previousHandler(int signal) {
    const char line[] = "previous handler ran\n";
    write(STDOUT_FILENO, line, sizeof line - 1);
    _exit(40 + signal);
}

[[noreturn]] void earlierTerminateHandler() {
    const char line[] = "earlier terminate handler ran\n";
    write(STDOUT_FILENO, line, sizeof line - 1);
    _exit(23);
}

void faultInRecorder() { writeThroughNull(); }

void printTimestamp() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    printf("fault at %lld\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
    fflush(stdout);
}

// A report names its frames by the images of the run that wrote it: only the same program,
// at its next launch, has them loaded to look the addresses up in.
int symbolicateEarlierReport(const std::string& folder) {
    auto report = QXInternalReport::reportWithPath(folder);
    if (!report) return 5;
    QXProcessReportOperation::initWithReport(report, std::make_shared<QXSymbolResolver>())->start();
    return 0;
}

}  // namespace

// Exported, so the check can name it as it would name another library's handler.
extern "C" void wvForeignHandler(int) {}

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::string mode = argv[1];
    const char* cache = getenv("XDG_CACHE_HOME");
    if (cache == nullptr) return 2;
    const std::string report = std::string(cache) + "/report";
    mkdir(report.c_str(), 0755);
    if (mode == "symbolicate") return symbolicateEarlierReport(report);

    if (mode == "earlier-handler") signal(SIGSEGV, previousHandler);
    if (mode == "ignored-handler") signal(SIGTRAP, SIG_IGN);
    if (mode == "blocked-park") blockParkSignal = true;
    if (mode == "terminate-chain") std::set_terminate(earlierTerminateHandler);
    if (mode == "platform-exception") {
        // What the application does at start from its preferences.
        UserDefaults::standard().setObject("NSApplicationCrashOnExceptions", plist::Value(true));
        PlatformException::setCrashOnExceptions(true);
    }

    QXContextSetInstallers(QXCaptureInstallers());
    QXContextInitData data{};
    data.apiKey = "child-key";
    data.reportDirectory = report.c_str();
    data.executionIdentifier = "session-1";
    data.installationIdentifier = "install-1";
    if (!QXContextInitialize(&data)) return 3;
    for (int i = 0; i < 5000 && !QXContextIsInitialized(); ++i) usleep(1000);
    if (!QXContextIsInitialized()) return 4;
    // As the kit's own start does: the loaded images reach the run's record on their own
    // queue, and a crash before that leaves a report nothing can be symbolicated from.
    if (qxBinaryImagesQueue != nullptr) qxBinaryImagesQueue->sync([] {});

    // Never joined: its block waits for ever, and every mode ends the process some other way.
    auto& queue = *new SerialQueue("com.wovanu.crash-child.queue");
    queue.async([] {
        ++ready;
        for (;;) pause();
    });
    std::thread([] { namedThread("child-worker-1"); }).detach();
    std::thread([] { namedThread("child-worker-2"); }).detach();
    int expected = 3;
    if (mode == "deep-threads") {
        for (int i = 0; i < 16; ++i) std::thread([] { deepThenWait(32); }).detach();
        expected += 16;
    }
    while (ready < expected) usleep(1000);

    printf("ready %d\n", getpid());
    fflush(stdout);

    if (mode == "null-write" || mode == "earlier-handler") writeThroughNull();
    if (mode == "ud2") executeUndefined();
    if (mode == "abort") callAbort();
    if (mode == "throw" || mode == "terminate-chain") throwUncaught();
    if (mode == "overflow") return recurse(0);
    if (mode == "trap" || mode == "ignored-handler") trap();
    if (mode == "raise") raise(SIGSEGV);
    if (mode == "blocked-park") writeThroughNull();
    if (mode == "deep-threads") {
        printTimestamp();
        writeThroughNull();
    }
    if (mode == "thread-fault") {
        std::thread([] {
            pthread_setname_np(pthread_self(), "child-faulter");
            writeThroughNull();
        }).join();
    }
    if (mode == "fault-in-recorder") {
        QXHandlerSetFaultHookForTesting(faultInRecorder);
        writeThroughNull();
    }
    if (mode == "second-crash") {
        // The second fault comes while the first is being recorded: the hook holds the
        // recorder until the other thread has faulted too.
        static std::atomic<bool> secondFaulted{false};
        static std::atomic<bool> secondReady{false};
        QXHandlerSetFaultHookForTesting([] {
            // Generous, for a loaded machine: the wait ends as soon as the other thread faulted,
            // and then leaves it time to reach the handler.
            for (int i = 0; i < 2000 && !secondFaulted; ++i) usleep(1000);
            usleep(200000);
        });
        std::thread([] {
            // Left running by the recorder, so it can fault while the record is written.
            sigset_t park;
            sigemptyset(&park);
            sigaddset(&park, QXThreadListParkSignal());
            pthread_sigmask(SIG_BLOCK, &park, nullptr);
            secondReady = true;
            while (!QXContextHasCrashed()) usleep(100);
            secondFaulted = true;
            executeUndefined();
        }).detach();
        while (!secondReady) usleep(100);
        writeThroughNull();
    }
    if (mode == "platform-exception") {
        try {
            QXExceptionRaiseTestPlatformException();
        } catch (const PlatformException& e) {
            PlatformException::reportException(e);
        }
        _exit(0);
    }
    if (mode == "check-handlers") {
        signal(SIGBUS, wvForeignHandler);
        QXSignalCheckHandlers();
        fflush(stderr);
        _exit(0);
    }
    if (mode == "wait-for-kill") {
        for (;;) pause();
    }
    _exit(0);
}
