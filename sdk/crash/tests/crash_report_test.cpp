// The crash child dies in every way the kit knows; each death must leave exactly one whole
// report and end the process the way it would have ended without the kit.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <string>

#include "sdk/crash/tests/CrashChild.h"

namespace wv::test {
namespace {

struct CrashCase {
    const char* mode;
    int signal;
    const char* crashedName;  // the kernel name of the thread that crashed
};

const CrashCase kCrashCases[] = {
    {"null-write", SIGSEGV, "wv_crash_child"},
    {"ud2", SIGILL, "wv_crash_child"},
    {"abort", SIGABRT, "wv_crash_child"},
    {"throw", SIGABRT, "wv_crash_child"},
    {"overflow", SIGSEGV, "wv_crash_child"},
    {"thread-fault", SIGSEGV, "child-faulter"},
    // Sent signals and traps would let the process live on if the handler only returned.
    {"trap", SIGTRAP, "wv_crash_child"},
    {"raise", SIGSEGV, "wv_crash_child"},
};

class CrashModes : public ::testing::TestWithParam<CrashCase> {};

TEST_P(CrashModes, OneWholeReportAndTheOriginalDeath) {
    const CrashCase& c = GetParam();
    CrashChildFolder folder;
    ChildResult result = runChild(folder, c.mode);
    ASSERT_TRUE(WIFSIGNALED(result.status)) << "status " << result.status << "\n" << result.errors;
    EXPECT_EQ(WTERMSIG(result.status), c.signal);

    auto signal = sectionsOf(folder.report() / "signal.qxrecord");
    ASSERT_TRUE(signal.count("signal")) << slurp(folder.report() / "sdk.log");
    EXPECT_EQ(signal["signal"]["number"], uint64_t(c.signal));
    EXPECT_FALSE(std::filesystem::exists(folder.report() / "mach_exception.qxrecord"));
    EXPECT_EQ(std::filesystem::exists(folder.report() / "exception.qxrecord"),
              std::string(c.mode) == "throw");

    ASSERT_TRUE(signal.count("threads"));
    ASSERT_TRUE(signal.count("thread_names"));
    ASSERT_TRUE(signal.count("dispatch_queue_names"));
    const auto& threads = signal["threads"];
    const auto& names = signal["thread_names"];
    const auto& labels = signal["dispatch_queue_names"];
    ASSERT_EQ(threads.size(), names.size());
    ASSERT_EQ(threads.size(), labels.size());
    int crashed = 0;
    for (size_t i = 0; i < threads.size(); ++i) {
        if (!threads[i].contains("crashed")) continue;
        ++crashed;
        EXPECT_EQ(names[i], c.crashedName);
        EXPECT_FALSE(threads[i]["stacktrace"].empty());
        EXPECT_EQ(threads[i]["stacktrace"][0], threads[i]["registers"]["rip"]);
    }
    EXPECT_EQ(crashed, 1);
    for (const char* name : {"child-worker-1", "child-worker-2"})
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
    EXPECT_NE(std::find(labels.begin(), labels.end(), "com.wovanu.crash-child.queue"),
              labels.end());
    // Parked threads gave their registers: none of them is left zeroed.
    for (const auto& thread : threads) EXPECT_NE(thread["registers"]["rip"], 0u);
    EXPECT_TRUE(signal.count("runtime"));
    EXPECT_TRUE(signal.count("process_stats"));
    EXPECT_TRUE(signal.count("storage"));
}

INSTANTIATE_TEST_SUITE_P(Crash, CrashModes, ::testing::ValuesIn(kCrashCases), [](const auto& info) {
    std::string name = info.param.mode;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
});

TEST(CrashReport, SignalLineNamesTheSignalAndAbortsCodeName) {
    CrashChildFolder folder;
    runChild(folder, "abort");
    auto signal = sectionsOf(folder.report() / "signal.qxrecord")["signal"];
    EXPECT_EQ(signal["name"], "SIGABRT");
    EXPECT_EQ(signal["code_name"], "ABORT");
    EXPECT_TRUE(signal.contains("errno"));
    EXPECT_TRUE(signal.contains("time"));
    // A sent signal has a code of 0 or below, written sign-extended.
    EXPECT_GE(signal["code"].get<uint64_t>(), uint64_t(1) << 63);

    CrashChildFolder segv;
    runChild(segv, "null-write");
    auto fault = sectionsOf(segv.report() / "signal.qxrecord")["signal"];
    EXPECT_EQ(fault["name"], "SIGSEGV");
    EXPECT_TRUE(fault["code_name"].is_null());
    EXPECT_EQ(fault["address"], 0u);
}

TEST(CrashReport, TheThrowAddsTheExceptionRecord) {
    CrashChildFolder folder;
    runChild(folder, "throw");
    auto exception = sectionsOf(folder.report() / "exception.qxrecord");
    ASSERT_TRUE(exception.count("exception"));
    EXPECT_EQ(exception["exception"]["type"], "c++");
    EXPECT_EQ(QXFileHexDecodeString(exception["exception"]["name"].get<std::string>()),
              "std::runtime_error");
    EXPECT_EQ(QXFileHexDecodeString(exception["exception"]["reason"].get<std::string>()),
              "crash child gives up");
    ASSERT_TRUE(exception.count("threads"));
    // The thread that threw is the crashed one; the exception queue recorded it.
    const auto& threads = exception["threads"];
    const auto& names = exception["thread_names"];
    const auto& labels = exception["dispatch_queue_names"];
    int crashed = 0;
    for (size_t i = 0; i < threads.size(); ++i) {
        if (threads[i].contains("crashed")) {
            ++crashed;
            EXPECT_EQ(names[i], "wv_crash_child");
        }
    }
    EXPECT_EQ(crashed, 1);
    EXPECT_NE(std::find(labels.begin(), labels.end(), "com.balvik.quellix.mac.exception"),
              labels.end());
}

TEST(CrashReport, AnEarlierHandlerRunsAfterTheRecord) {
    CrashChildFolder folder;
    ChildResult result = runChild(folder, "earlier-handler");
    ASSERT_TRUE(WIFEXITED(result.status)) << result.status;
    EXPECT_EQ(WEXITSTATUS(result.status), 40 + SIGSEGV);
    EXPECT_NE(result.output.find("previous handler ran"), std::string::npos);
    EXPECT_TRUE(sectionsOf(folder.report() / "signal.qxrecord").count("threads"));
}

TEST(CrashReport, AnIgnoredSignalStaysIgnoredAfterTheRecord) {
    // SIGTRAP was ignored before the kit: the trap is recorded, raised again, ignored, and the
    // program goes on to its normal end.
    CrashChildFolder folder;
    ChildResult result = runChild(folder, "ignored-handler");
    ASSERT_TRUE(WIFEXITED(result.status)) << result.status;
    EXPECT_EQ(WEXITSTATUS(result.status), 0);
    EXPECT_TRUE(sectionsOf(folder.report() / "signal.qxrecord").count("signal"));
}

TEST(CrashReport, KillFromOutsideEndsTheProcessAfterTheRecord) {
    CrashChildFolder folder;
    ChildResult result = runInFolder(folder, {WV_CRASH_CHILD, "wait-for-kill"},
                                     [](pid_t pid, const std::string&) { kill(pid, SIGSEGV); });
    ASSERT_TRUE(WIFSIGNALED(result.status)) << result.status;
    EXPECT_EQ(WTERMSIG(result.status), SIGSEGV);
    auto signal = sectionsOf(folder.report() / "signal.qxrecord");
    EXPECT_EQ(signal["signal"]["code"], 0u);  // SI_USER
    EXPECT_TRUE(signal.count("threads"));
}

TEST(CrashReport, AFaultInsideTheRecorderKeepsTheLinesWrittenAndDiesByTheFault) {
    CrashChildFolder folder;
    ChildResult result = runChild(folder, "fault-in-recorder");
    ASSERT_TRUE(WIFSIGNALED(result.status)) << result.status;
    EXPECT_EQ(WTERMSIG(result.status), SIGSEGV);
    auto signal = sectionsOf(folder.report() / "signal.qxrecord");
    EXPECT_TRUE(signal.count("signal"));
    EXPECT_TRUE(signal.count("threads"));
    EXPECT_FALSE(signal.count("process_stats"));  // the hook faulted before it
}

TEST(CrashReport, ASecondCrashOnAnotherThreadNeverSpoilsTheFirstReport) {
    CrashChildFolder folder;
    ChildResult result = runChild(folder, "second-crash");
    // Either the first fault ends the process, or the second thread, having waited for the
    // record, exits with status 1; never a lost or mixed report.
    const bool first = WIFSIGNALED(result.status) && WTERMSIG(result.status) == SIGSEGV;
    const bool second = WIFEXITED(result.status) && WEXITSTATUS(result.status) == 1;
    EXPECT_TRUE(first || second) << result.status;
    auto signal = sectionsOf(folder.report() / "signal.qxrecord");
    EXPECT_EQ(signal["signal"]["number"], uint64_t(SIGSEGV));
    EXPECT_TRUE(signal.count("threads"));
    EXPECT_TRUE(signal.count("storage"));
    // The second fault came while the record was being written (the hook waited for it).
    EXPECT_NE(slurp(folder.report() / "sdk.log").find("Signal: 4"), std::string::npos);
}

TEST(CrashReport, AThreadThatBlocksTheParkSignalGetsZeroedRegistersAndTheListGoesOn) {
    CrashChildFolder folder;
    runChild(folder, "blocked-park");
    auto signal = sectionsOf(folder.report() / "signal.qxrecord");
    const auto& threads = signal["threads"];
    const auto& names = signal["thread_names"];
    ASSERT_EQ(threads.size(), names.size());
    int zeroed = 0;
    for (size_t i = 0; i < threads.size(); ++i) {
        if (names[i] != "child-worker-1" && names[i] != "child-worker-2") continue;
        EXPECT_EQ(threads[i]["registers"]["rip"], 0u);
        EXPECT_TRUE(threads[i]["stacktrace"].empty());
        ++zeroed;
    }
    EXPECT_EQ(zeroed, 2);
    // The threads after them were still recorded.
    EXPECT_TRUE(signal.count("process_stats"));
}

TEST(CrashReport, TheCheckNamesAForeignHandler) {
    CrashChildFolder folder;
    ChildResult result = runChild(folder, "check-handlers");
    EXPECT_NE(result.errors.find("[Quellix] The signal SIGBUS has a non-Quellix handler"),
              std::string::npos)
        << result.errors;
    EXPECT_NE(result.errors.find("(wvForeignHandler)"), std::string::npos) << result.errors;
    EXPECT_EQ(result.errors.find("SIGSEGV has a non-Quellix"), std::string::npos);
}

TEST(CrashReport, TheTerminateHandlerRecordsThenChainsToTheEarlierOne) {
    CrashChildFolder folder;
    ChildResult result = runChild(folder, "terminate-chain");
    ASSERT_TRUE(WIFEXITED(result.status)) << result.status;
    EXPECT_EQ(WEXITSTATUS(result.status), 23);
    auto exception = sectionsOf(folder.report() / "exception.qxrecord");
    ASSERT_TRUE(exception.count("exception"));
    EXPECT_TRUE(exception.count("threads"));
    EXPECT_NE(slurp(folder.report() / "sdk.log").find("invoking pre-existing handler"),
              std::string::npos);
}

TEST(CrashReport, APlatformExceptionFromAnEventHandlerIsRecordedWithItsFrames) {
    CrashChildFolder folder;
    ChildResult result = runChild(folder, "platform-exception");
    ASSERT_TRUE(WIFSIGNALED(result.status)) << result.status << result.errors;
    EXPECT_EQ(WTERMSIG(result.status), SIGABRT);
    auto exception = sectionsOf(folder.report() / "exception.qxrecord");
    ASSERT_TRUE(exception.count("exception"));
    EXPECT_EQ(exception["exception"]["type"], "objective-c");
    EXPECT_EQ(QXFileHexDecodeString(exception["exception"]["name"].get<std::string>()),
              "QuellixTestException");
    ASSERT_TRUE(exception["exception"].contains("frames"));
    EXPECT_GE(exception["exception"]["frames"].size(), 2u);
    for (const auto& frame : exception["exception"]["frames"]) EXPECT_NE(frame["pc"], 0u);
}

}  // namespace
}  // namespace wv::test
