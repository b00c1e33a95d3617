#include <gtest/gtest.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/dispatch/AlternateSignalStack.h"
#include "platform/dispatch/GlobalQueue.h"
#include "platform/dispatch/SerialQueue.h"
#include "platform/dispatch/ThreadLabels.h"

namespace wv {
namespace {

pid_t tid() { return static_cast<pid_t>(syscall(SYS_gettid)); }

std::string labelOf(pid_t t) {
    char buffer[ThreadLabels::kLabelSize];
    ThreadLabels::copy(t, buffer, sizeof buffer);
    return buffer;
}

TEST(ThreadLabels, SerialQueueThreadCarriesItsLabelUntilTheQueueEnds) {
    pid_t queueTid = 0;
    {
        SerialQueue queue("com.wovanu.test.labels");
        queue.sync([&] { queueTid = tid(); });
        EXPECT_EQ(labelOf(queueTid), "com.wovanu.test.labels");
    }
    // The thread is joined: its id may come back for another thread, which must not inherit
    // the label.
    EXPECT_EQ(labelOf(queueTid), "");
}

TEST(ThreadLabels, PoolThreadsAreLabelled) {
    pid_t poolTid = 0;
    std::atomic<bool> done{false};
    GlobalQueue::shared().async([&] {
        poolTid = tid();
        done = true;
    });
    while (!done) std::this_thread::yield();
    EXPECT_EQ(labelOf(poolTid), "wovanu.global");
}

TEST(ThreadLabels, LabelsAreCutAndRelabellingReplaces) {
    std::string cut, second, afterClear;
    std::thread([&] {
        ThreadLabels::set(std::string(300, 'q'));
        cut = labelOf(tid());
        ThreadLabels::set("second");
        second = labelOf(tid());
        ThreadLabels::clear();
        afterClear = labelOf(tid());
    }).join();
    EXPECT_EQ(cut, std::string(ThreadLabels::kLabelSize - 1, 'q'));
    EXPECT_EQ(second, "second");
    EXPECT_EQ(afterClear, "");
}

TEST(ThreadLabels, ASmallBufferGetsATerminatedPrefixAndUnknownThreadsNothing) {
    std::string prefix;
    std::thread([&] {
        ThreadLabels::set("abcdefgh");
        char small[4] = {'x', 'x', 'x', 'x'};
        ThreadLabels::copy(tid(), small, sizeof small);
        prefix = small;
        ThreadLabels::clear();
    }).join();
    EXPECT_EQ(prefix, "abc");
    char out[8] = "junk";
    EXPECT_FALSE(ThreadLabels::copy(-1, out, sizeof out));
    EXPECT_STREQ(out, "");
    EXPECT_FALSE(ThreadLabels::copy(999999999, out, sizeof out));
}

TEST(ThreadLabels, AFullTableRefusesAndLosesNoEarlierLabel) {
    // Hold every free slot from threads of our own, then ask for one more.
    std::atomic<int> claimed{0}, refused{0};
    std::atomic<bool> release{false};
    std::vector<std::thread> holders;
    for (size_t i = 0; i < ThreadLabels::kCapacity + 1; ++i) {
        holders.emplace_back([&, i] {
            if (ThreadLabels::set("holder-" + std::to_string(i)))
                ++claimed;
            else
                ++refused;
            while (!release) std::this_thread::yield();
            ThreadLabels::clear();
        });
    }
    while (claimed + refused < static_cast<int>(holders.size())) std::this_thread::yield();
    EXPECT_GE(refused.load(), 1);
    release = true;
    for (auto& t : holders) t.join();
    std::string again;
    std::thread([&] {
        ThreadLabels::set("after");
        again = labelOf(tid());
        ThreadLabels::clear();
    }).join();
    EXPECT_EQ(again, "after");
}

TEST(AlternateSignalStack, EachDispatchThreadHasItsOwnWithAGuardPageBelow) {
    stack_t first{}, second{};
    SerialQueue a("com.wovanu.test.a");
    SerialQueue b("com.wovanu.test.b");
    a.sync([&] { sigaltstack(nullptr, &first); });
    b.sync([&] { sigaltstack(nullptr, &second); });
    ASSERT_FALSE(first.ss_flags & SS_DISABLE);
    ASSERT_FALSE(second.ss_flags & SS_DISABLE);
    EXPECT_NE(first.ss_sp, second.ss_sp);
    EXPECT_EQ(first.ss_size, AlternateSignalStack::kSize);
    // An overflow of the alternate stack itself must fault, not run into other memory.
    const auto below = reinterpret_cast<uintptr_t>(first.ss_sp) - 1;
    FILE* maps = fopen("/proc/self/maps", "r");
    ASSERT_NE(maps, nullptr);
    char line[512];
    std::string perms;
    while (fgets(line, sizeof line, maps)) {
        unsigned long lo = 0, hi = 0;
        char p[5] = {};
        if (sscanf(line, "%lx-%lx %4s", &lo, &hi, p) == 3 && below >= lo && below < hi) perms = p;
    }
    fclose(maps);
    EXPECT_EQ(perms, "---p");
}

TEST(AlternateSignalStack, ThreadsTheDispatchLayerDidNotStartAreLeftAlone) {
    stack_t seen{};
    std::thread([&] { sigaltstack(nullptr, &seen); }).join();
    EXPECT_TRUE(seen.ss_flags & SS_DISABLE);
    bool installed = false, afterUninstall = true;
    stack_t off{};
    std::thread([&] {
        installed = AlternateSignalStack::installForCurrentThread();
        AlternateSignalStack::uninstallForCurrentThread();
        afterUninstall = AlternateSignalStack::isInstalledForCurrentThread();
        sigaltstack(nullptr, &off);
    }).join();
    EXPECT_TRUE(installed);
    EXPECT_FALSE(afterUninstall);
    EXPECT_TRUE(off.ss_flags & SS_DISABLE);
}

}  // namespace
}  // namespace wv
