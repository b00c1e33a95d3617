#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/ManualRunLoop.h"
#include "platform/dispatch/SerialQueue.h"
#include "platform/dispatch/ThreadName.h"
#include "platform/dispatch/Timer.h"

namespace wv {
namespace {

TEST(MainQueue, RunsBlocksInDueOrderThenInOrderAdded) {
    ManualRunLoop loop;
    std::vector<std::string> ran;
    MainQueue::shared().asyncAfter(0.2, [&] { ran.push_back("late"); });
    MainQueue::shared().async([&] { ran.push_back("first"); });
    MainQueue::shared().async([&] { ran.push_back("second"); });
    MainQueue::shared().asyncAfter(0.1, [&] { ran.push_back("early"); });
    EXPECT_TRUE(ran.empty()) << "nothing runs before the loop turns";
    loop.runUntilIdle();
    EXPECT_EQ(ran, (std::vector<std::string>{"first", "second"}));
    loop.advance(0.1);
    EXPECT_EQ(ran.back(), "early");
    loop.advance(0.05);
    EXPECT_EQ(ran.size(), 3u);
    loop.advance(0.05);
    EXPECT_EQ(ran, (std::vector<std::string>{"first", "second", "early", "late"}));
}

TEST(MainQueue, BlockAddedWhileRunningForNowRunsInTheSameTurn) {
    ManualRunLoop loop;
    int count = 0;
    MainQueue::shared().async([&] {
        ++count;
        MainQueue::shared().async([&] { ++count; });
    });
    EXPECT_EQ(loop.runUntilIdle(), 2u);
    EXPECT_EQ(count, 2);
}

TEST(MainQueue, BlocksFromOtherThreadsArriveAndWakeTheLoop) {
    ManualRunLoop loop;
    std::atomic<int> wakes{0};
    MainQueue::shared().setWakeUp([&] { ++wakes; });
    std::atomic<bool> ranOnMain{false};
    std::thread worker([&] { MainQueue::shared().async([&] { ranOnMain = isMainThread(); }); });
    worker.join();
    MainQueue::shared().setWakeUp(nullptr);
    EXPECT_EQ(wakes.load(), 1);
    loop.runUntilIdle();
    EXPECT_TRUE(ranOnMain.load());
}

TEST(Timer, RepeatingTimerFiresOncePerIntervalUntilInvalidated) {
    ManualRunLoop loop;
    std::vector<double> fired;
    auto timer = Timer::scheduled(0.5, true, [&](Timer&) { fired.push_back(loop.now()); });
    loop.advance(0.49);
    EXPECT_TRUE(fired.empty());
    loop.advance(1.01);
    ASSERT_EQ(fired.size(), 3u);
    EXPECT_DOUBLE_EQ(fired[0] - fired.front(), 0.0);
    EXPECT_NEAR(fired[1] - fired[0], 0.5, 1e-9);
    EXPECT_NEAR(fired[2] - fired[1], 0.5, 1e-9);
    timer->invalidate();
    loop.advance(2.0);
    EXPECT_EQ(fired.size(), 3u);
}

TEST(Timer, OneShotTimerFiresOnceAndIsThenInvalid) {
    ManualRunLoop loop;
    int count = 0;
    auto timer = Timer::scheduled(3.0, false, [&](Timer&) { ++count; });
    loop.advance(2.99);
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(timer->isValid());
    loop.advance(0.02);
    EXPECT_EQ(count, 1);
    EXPECT_FALSE(timer->isValid());
    loop.advance(10);
    EXPECT_EQ(count, 1);
}

TEST(Timer, QueueKeepsAValidTimerAliveWithoutOwner) {
    ManualRunLoop loop;
    int count = 0;
    Timer::scheduled(0.1, false, [&](Timer&) { ++count; });
    loop.advance(0.2);
    EXPECT_EQ(count, 1);
}

TEST(Timer, CallbackMayInvalidateItsOwnTimer) {
    ManualRunLoop loop;
    int count = 0;
    Timer::scheduled(0.1, true, [&](Timer& t) {
        if (++count == 2) t.invalidate();
    });
    loop.advance(1.0);
    EXPECT_EQ(count, 2);
}

TEST(Timer, ReplacingTimerLeavesOnlyTheNewOneRunning) {
    ManualRunLoop loop;
    int oldCount = 0, newCount = 0;
    auto timer = Timer::scheduled(0.5, true, [&](Timer&) { ++oldCount; });
    loop.advance(0.6);
    timer->invalidate();
    timer = Timer::scheduled(0.5, true, [&](Timer&) { ++newCount; });
    loop.advance(1.0);
    EXPECT_EQ(oldCount, 1);
    EXPECT_EQ(newCount, 2);
}

TEST(Timer, ASuspendedTimerNeitherFiresNorWakesTheLoopAndResumesOneIntervalLater) {
    ManualRunLoop loop;
    std::vector<double> fired;
    auto timer = Timer::scheduled(0.5, true, [&](Timer&) { fired.push_back(loop.now() - 1000.0); });
    loop.advance(0.5);
    timer->suspend();
    EXPECT_TRUE(timer->isValid());
    EXPECT_TRUE(timer->isSuspended());
    EXPECT_EQ(loop.advance(10.0), 0u) << "nothing is due while the only timer is suspended";
    EXPECT_TRUE(MainQueue::shared().empty());
    timer->resume();
    timer->resume();
    loop.advance(1.2);
    EXPECT_EQ(fired, (std::vector<double>{0.5, 11.0, 11.5}));
    timer->invalidate();
    timer->resume();
    EXPECT_TRUE(MainQueue::shared().empty()) << "an invalid timer leaves nothing behind";
    EXPECT_EQ(loop.advance(5.0), 0u);
}

TEST(MainQueue, ACancelledBlockNeverRuns) {
    ManualRunLoop loop;
    std::vector<std::string> ran;
    const auto late = MainQueue::shared().asyncAfter(0.2, [&] { ran.push_back("late"); });
    MainQueue::shared().asyncAfter(0.2, [&] { ran.push_back("kept"); });
    EXPECT_TRUE(MainQueue::shared().isPending(late));
    EXPECT_TRUE(MainQueue::shared().cancel(late));
    EXPECT_FALSE(MainQueue::shared().isPending(late));
    EXPECT_FALSE(MainQueue::shared().cancel(late)) << "only once";
    EXPECT_EQ(loop.advance(1.0), 1u);
    EXPECT_EQ(ran, (std::vector<std::string>{"kept"}));
}

TEST(SerialQueue, RunsInOrderOnItsOwnNamedThread) {
    SerialQueue queue("com.wovanu.test");
    std::vector<int> order;
    std::optional<std::string> name;
    for (int i = 0; i < 50; ++i) queue.async([&order, i] { order.push_back(i); });
    queue.sync([&] { name = givenThreadName(); });
    ASSERT_EQ(order.size(), 50u);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(order[i], i);
    EXPECT_EQ(name, std::optional<std::string>("com.wovanu.test"));
    EXPECT_FALSE(queue.isCurrent());
}

TEST(SerialQueue, SyncFromItsOwnThreadDoesNotDeadlock) {
    SerialQueue queue("q");
    int value = 0;
    queue.sync([&] { queue.sync([&] { value = 7; }); });
    EXPECT_EQ(value, 7);
}

TEST(SerialQueue, DestructionRunsWhatWasQueued) {
    std::atomic<int> count{0};
    {
        SerialQueue queue("q");
        for (int i = 0; i < 10; ++i) queue.async([&] { ++count; });
    }
    EXPECT_EQ(count.load(), 10);
}

TEST(ThreadName, UnsetUntilTheProgramNamesTheThread) {
    std::optional<std::string> before, after;
    std::thread([&] {
        before = givenThreadName();
        setCurrentThreadName("");
        after = givenThreadName();
    }).join();
    EXPECT_FALSE(before.has_value());
    EXPECT_EQ(after, std::optional<std::string>(""));
    EXPECT_TRUE(isMainThread());
}

}  // namespace
}  // namespace wv
