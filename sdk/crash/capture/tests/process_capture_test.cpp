#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "sdk/crash/capture/QXProcessCapture.h"
#include "sdk/crash/capture/QXThreadList.h"
#include "sdk/crash/context/QXFile.h"
#include "sdk/crash/context/tests/CrashTestSupport.h"

namespace wv {
namespace {

nlohmann::json writtenThread(const test::ScopedLogContext& log, const QXMachineContext& context) {
    const std::string path = (log.folder() / "thread.qxrecord").string();
    QXFile file;
    EXPECT_TRUE(QXFileInitWithPath(&file, path.c_str(), false));
    QXFileWriteSectionStart(&file, "thread");
    QXFileWriteHashStart(&file);
    QXProcessRecordThreadStack(&file, context);
    QXFileWriteHashEnd(&file);
    QXFileWriteSectionEnd(&file);
    QXFileClose(&file);
    return nlohmann::json::parse(test::readFile(path))["thread"];
}

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// A frame-pointer chain made by hand: 100 frames returning to the same address (a recursion),
// then one returning elsewhere whose saved frame pointer ends the chain.
TEST(ProcessCapture, ARecursionKeepsTenCopiesThenTheFramesBelowAndNamesTheRepeatedPC) {
    test::ScopedLogContext log;
    constexpr uint64_t kStart = 0x401000, kRecursing = 0x402345, kBelow = 0x403456;
    struct Frame {
        uint64_t savedFP;
        uint64_t returnAddress;
    };
    static Frame frames[101];
    for (int i = 0; i < 100; ++i)
        frames[i] = {reinterpret_cast<uint64_t>(&frames[i + 1]), kRecursing};
    frames[100] = {0, kBelow};
    QXMachineContext context{};
    context.rip = kStart;
    context.rbp = reinterpret_cast<uint64_t>(&frames[0]);
    context.rsp = reinterpret_cast<uint64_t>(&frames[0]);
    nlohmann::json thread = writtenThread(log, context);

    std::vector<uint64_t> expected{kStart};
    for (int i = 0; i < 10; ++i) expected.push_back(kRecursing);
    expected.push_back(kBelow);
    EXPECT_EQ(thread["stacktrace"].get<std::vector<uint64_t>>(), expected);
    EXPECT_EQ(thread["repeated_pc"], kRecursing);
    EXPECT_EQ(thread["repeat_count"], 99u);
    EXPECT_EQ(thread["registers"]["rip"], kStart);
    EXPECT_EQ(thread["registers"].size(), 21u);
    const std::string sdkLog = log.log();
    EXPECT_EQ(count(sdkLog, "Possible infinite recursion - suppressing logging"), 1u);
    EXPECT_EQ(log.writable().logMinimumLevel, 1);  // given back after the walk
}

TEST(ProcessCapture, AStackWithoutRecursionHasNoRepeatedPC) {
    test::ScopedLogContext log;
    struct Frame {
        uint64_t savedFP;
        uint64_t returnAddress;
    };
    static Frame frames[3];
    frames[0] = {reinterpret_cast<uint64_t>(&frames[1]), 0x500010};
    frames[1] = {reinterpret_cast<uint64_t>(&frames[2]), 0x500010};  // twice is no recursion
    frames[2] = {0, 0x600020};
    QXMachineContext context{};
    context.rip = 0x500000;
    context.rbp = reinterpret_cast<uint64_t>(&frames[0]);
    context.rsp = context.rbp;
    nlohmann::json thread = writtenThread(log, context);
    EXPECT_EQ(thread["stacktrace"].get<std::vector<uint64_t>>(),
              (std::vector<uint64_t>{0x500000, 0x500010, 0x500010, 0x600020}));
    EXPECT_FALSE(thread.contains("repeated_pc"));
    EXPECT_FALSE(thread.contains("repeat_count"));
}

TEST(ProcessCapture, ZeroedRegistersGiveAnEmptyStack) {
    test::ScopedLogContext log;
    nlohmann::json thread = writtenThread(log, QXMachineContext{});
    EXPECT_TRUE(thread["stacktrace"].empty());
    EXPECT_EQ(thread["registers"]["rsp"], 0u);
}

TEST(ProcessCapture, MemoryUsageComesFromMeminfoInBytes) {
    const char* text =
        "MemTotal:       32000000 kB\nMemFree:         1000 kB\nActive:          2000 kB\n"
        "Inactive:        3000 kB\nUnevictable:       40 kB\n";
    uint64_t active = 0, inactive = 0, wired = 0, freeMemory = 0;
    ASSERT_TRUE(QXProcessParseMemoryUsage(text, &active, &inactive, &wired, &freeMemory));
    EXPECT_EQ(active, 2000u * 1024);
    EXPECT_EQ(inactive, 3000u * 1024);
    EXPECT_EQ(wired, 40u * 1024);
    EXPECT_EQ(freeMemory, 1000u * 1024);
    // "Active(anon):" and the like must not be taken for "Active:".
    const char* partial = "Active(anon):  5 kB\nInactive(file): 6 kB\nMemFree: 1 kB\n";
    EXPECT_FALSE(QXProcessParseMemoryUsage(partial, &active, &inactive, &wired, &freeMemory));
    EXPECT_FALSE(QXProcessParseMemoryUsage("", &active, &inactive, &wired, &freeMemory));
}

TEST(ProcessCapture, StatsLineHasEveryKeyAndFreeMemTwice) {
    test::ScopedLogContext log;
    const std::string path = (log.folder() / "stats.qxrecord").string();
    QXFile file;
    ASSERT_TRUE(QXFileInitWithPath(&file, path.c_str(), false));
    QXProcess process{};
    ASSERT_TRUE(QXProcessRecordStats(&process, &file));
    QXFileClose(&file);
    auto stats = nlohmann::json::parse(test::readFile(path))["process_stats"];
    std::vector<std::string> keys;
    for (const auto& [key, value] : stats.items()) keys.push_back(key);
    EXPECT_EQ(keys.size(), 9u);
    EXPECT_EQ(stats["freeMem"], stats["free_mem"]);
    EXPECT_GT(stats["resident"].get<uint64_t>(), 0u);
    EXPECT_GE(stats["virtual"].get<uint64_t>(), stats["resident"].get<uint64_t>());
    EXPECT_GT(stats["active"].get<uint64_t>(), 0u);
}

std::atomic<uint64_t> spins{0};

TEST(ThreadList, ListsParksAndResumesAThreadAndReadsItsName) {
    test::ScopedLogContext log;
    ASSERT_TRUE(QXThreadListInstallParkHandler());
    std::atomic<pid_t> tid{0};
    std::atomic<bool> stop{false};
    std::thread spinner([&] {
        pthread_setname_np(pthread_self(), "spinner");
        tid = QXThreadListCurrentTid();
        while (!stop) spins.fetch_add(1, std::memory_order_relaxed);
    });
    while (tid == 0) std::this_thread::yield();

    pid_t threads[kQXMaxThreads];
    const uint32_t n = QXThreadListRead(threads, kQXMaxThreads);
    EXPECT_NE(std::find(threads, threads + n, tid.load()), threads + n);
    EXPECT_NE(std::find(threads, threads + n, QXThreadListCurrentTid()), threads + n);
    char name[64];
    QXThreadListName(tid, name, sizeof name);
    EXPECT_STREQ(name, "spinner");

    ASSERT_TRUE(QXThreadListPark(threads, n, QXThreadListCurrentTid()));
    const uint64_t parkedAt = spins.load();
    usleep(20000);
    EXPECT_EQ(spins.load(), parkedAt);  // it really stands still
    QXMachineContext context{};
    ASSERT_TRUE(QXThreadListParkedContext(tid, &context));
    EXPECT_NE(context.rip, 0u);
    EXPECT_NE(context.rsp, 0u);
    EXPECT_FALSE(QXThreadListParkedContext(QXThreadListCurrentTid(), &context));

    QXThreadListResume();
    while (spins.load() == parkedAt) std::this_thread::yield();
    stop = true;
    spinner.join();
}

TEST(ThreadList, AThreadThatBlocksTheSignalIsGivenUpAfterTheWait) {
    test::ScopedLogContext log;
    ASSERT_TRUE(QXThreadListInstallParkHandler());
    std::atomic<pid_t> tid{0};
    std::atomic<bool> stop{false};
    std::thread blocker([&] {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, nullptr);
        tid = QXThreadListCurrentTid();
        while (!stop) usleep(1000);
    });
    while (tid == 0) std::this_thread::yield();
    const pid_t list[] = {tid.load()};
    EXPECT_FALSE(QXThreadListPark(list, 1, QXThreadListCurrentTid()));
    QXMachineContext context{};
    EXPECT_FALSE(QXThreadListParkedContext(tid, &context));
    QXThreadListResume();
    stop = true;
    blocker.join();
    EXPECT_NE(log.log().find("did not park"), std::string::npos);
}

TEST(ThreadList, NamesOfThreadsThatDoNotExistAreEmpty) {
    char name[64] = "junk";
    QXThreadListName(-1, name, sizeof name);
    EXPECT_STREQ(name, "");
    QXThreadListName(999999999, name, sizeof name);
    EXPECT_STREQ(name, "");
}

}  // namespace
}  // namespace wv
