// A program that starts the reporting SDK as the application does (the kit core with the
// crash kit), runs its main queue as the application's event loop would, and then either
// crashes the way it is told or waits until the crash kit has dealt with what earlier runs
// left, so the tests can follow reports from one launch to the next.
//   kit_child <mode> [--early] [--ask] [--keep-prepared]
// Modes: none, null-write, ud2, abort, throw, overflow, thread-fault, trap, raise, kit-crash.
//   --early          crash before the main queue's first turn (the launch marker stays)
//   --ask            the delegate is asked about each earlier report and says send
//   --keep-prepared  (mode none) settled also with a package left waiting for its upload
// It prints "after start: ..." once the kit is started and "settled: ..." before it exits 0;
// it exits 3 when the kit has not settled within a minute.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/dispatch/MainQueue.h"
#include "sdk/core/Tarnel.h"
#include "sdk/crash/kit/QXCrashReportingController.h"
#include "sdk/crash/kit/QXReport.h"
#include "sdk/crash/kit/Quellix.h"
#include "sdk/crash/report/QXFileManager.h"

using namespace wv;

namespace {

// Kept out of line and apart, so every crash has a frame of its own to name.
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

__attribute__((noinline)) void throwUncaught() { throw std::runtime_error("kit child gives up"); }

// Without end on purpose: the stack overflows.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winfinite-recursion"
__attribute__((noinline)) int recurse(int depth) {
    volatile char pad[256];
    pad[0] = char(depth);
    const int below = recurse(depth + 1);
    asm volatile("" ::: "memory");
    return below + pad[0];
}
#pragma GCC diagnostic pop

__attribute__((noinline)) void trap() {
    asm volatile("int3");
    asm volatile("" ::: "memory");
}

__attribute__((noinline)) void raiseSegv() {
    raise(SIGSEGV);
    asm volatile("" ::: "memory");
}

__attribute__((noinline)) void kitCrash() {
    Quellix::crash();
}

[[noreturn]] void crashNow(const std::string& mode) {
    std::fflush(stdout);
    if (mode == "null-write") writeThroughNull();
    if (mode == "ud2") executeUndefined();
    if (mode == "abort") callAbort();
    if (mode == "throw") throwUncaught();
    if (mode == "overflow") std::exit(recurse(0));
    if (mode == "trap") trap();
    if (mode == "raise") raiseSegv();
    if (mode == "kit-crash") kitCrash();
    if (mode == "thread-fault") {
        std::thread([] {
            pthread_setname_np(pthread_self(), "kit-faulter");
            writeThroughNull();
        }).join();
    }
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    std::_Exit(2);
}

// Runs inside the crash handler: no allocation, no stdio, only write(2).
void sayCrashing(Quellix&) {
    char name[32] = {};
    pthread_getname_np(pthread_self(), name, sizeof name);
    const char head[] = "crash callback on thread ";
    write(STDOUT_FILENO, head, sizeof head - 1);
    write(STDOUT_FILENO, name, strnlen(name, sizeof name));
    write(STDOUT_FILENO, "\n", 1);
}

struct Tree {
    size_t earlier = 0;  // folders of earlier runs in active
    size_t processing = 0;
    size_t prepared = 0;
    bool marker = false;
};

Tree look(QXCrashReportingController& controller) {
    Tree tree;
    const auto& files = *controller.fileManager();
    const std::string own = Tarnel::sharedSDK().executionIdentifier();
    for (const auto& entry : files.activePathContents())
        if (entry.filename() != own) ++tree.earlier;
    tree.processing = files.processingPathContents().size();
    tree.prepared = files.preparedPathContents().size();
    tree.marker = controller.launchFailureMarkerPresent();
    return tree;
}

void print(const char* when, const Tree& tree) {
    std::printf("%s: earlier=%zu processing=%zu prepared=%zu marker=%d\n", when, tree.earlier,
                tree.processing, tree.prepared, tree.marker ? 1 : 0);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string mode = argv[1];
    bool early = false, ask = false, keepPrepared = false;
    for (int i = 2; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--early") early = true;
        if (option == "--ask") ask = true;
        if (option == "--keep-prepared") keepPrepared = true;
    }
    const bool crashing = mode != "none";

    auto delegate = std::make_shared<QuellixDelegate>();
    delegate->quellixDidDetectCrash = sayCrashing;
    if (ask) {
        delegate->quellixDidDetectReportForLastExecutionCompletionHandler =
            [](const std::shared_ptr<QXReport>& report, QuellixDelegate::CompletionHandler send) {
                std::printf("asked about %s\n", report->identifier().c_str());
                std::fflush(stdout);
                send(true);
            };
    }
    Quellix::sharedInstance()->setDelegate(delegate);
    Tarnel::with({&Quellix::kitClass()});

    auto controller = Quellix::sharedInstance()->crashReportingController();
    if (!controller) return 4;
    print("after start", look(*controller));
    if (crashing && early) crashNow(mode);

    // The application's event loop, as far as the main queue goes.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (;;) {
        MainQueue::shared().runDue();
        const Tree tree = look(*controller);
        if (crashing && !tree.marker) crashNow(mode);
        const bool settled = !tree.marker && tree.earlier == 0 && tree.processing == 0 &&
                             (keepPrepared ? tree.prepared > 0 : tree.prepared == 0);
        if (!crashing && settled) break;
        if (std::chrono::steady_clock::now() > deadline) {
            print("gave up", tree);
            std::_Exit(3);
        }
        usleep(5000);
    }
    controller->operationQueue()->waitUntilAllOperationsAreFinished();
    print("settled", look(*controller));
    // The kit's queues and handlers live as long as the process: no teardown.
    std::_Exit(0);
}
