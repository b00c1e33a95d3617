#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/DispatchGroup.h"
#include "platform/dispatch/GlobalQueue.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/ManualRunLoop.h"
#include "platform/dispatch/SerialQueue.h"

namespace wv {
namespace {

TEST(DispatchGroup, NotifiesOnceEveryBlockHasLeft) {
    ManualRunLoop loop;
    SerialQueue serial("test.group");
    DispatchGroup group;
    std::atomic<int> done{0};
    std::vector<std::string> order;
    for (int i = 0; i < 3; ++i) group.async(serial, [&] { ++done; });
    group.enter();  // one more, left by hand below
    group.notify(MainQueue::shared(),
                 [&] { order.push_back("notified after " + std::to_string(done.load())); });
    serial.drain();
    loop.runUntilIdle();
    EXPECT_TRUE(order.empty()) << "one block has not left yet";
    group.leave();
    loop.runUntilIdle();
    EXPECT_EQ(order, std::vector<std::string>{"notified after 3"});
}

TEST(DispatchGroup, NotifyOnAnEmptyGroupRunsAtOnceOnItsQueue) {
    SerialQueue serial("test.group.empty");
    DispatchGroup group;
    std::atomic<bool> ran{false};
    group.notify(serial, [&] { ran = true; });
    serial.drain();
    EXPECT_TRUE(ran.load());
    EXPECT_TRUE(group.waitFor(0));
}

TEST(DispatchGroup, LeavingMoreThanEnteredIsRefused) {
    DispatchGroup group;
    group.enter();
    group.leave();
    EXPECT_THROW(group.leave(), std::logic_error);
}

TEST(DispatchGroup, TimedWaitOnTheManualClockEndsWhenTheClockPassesTheLimit) {
    struct Case {
        const char* name;
        double advanceBy;
        bool leaveFirst;
        bool expected;
    };
    const Case cases[] = {
        {"clock passes five seconds", 5.0, false, false},
        {"clock short of five seconds, then the block leaves", 4.9, true, true},
    };
    for (const auto& c : cases) {
        ManualClock clock(100);
        DispatchGroup group;
        group.enter();
        std::atomic<bool> result{!c.expected};
        std::atomic<bool> returned{false};
        std::thread waiter([&] {
            result = group.waitFor(5.0, clock);
            returned = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_FALSE(returned.load()) << c.name << ": the wait must not end in real time";
        clock.advance(c.advanceBy);
        if (c.leaveFirst) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            EXPECT_FALSE(returned.load()) << c.name;
            group.leave();
        }
        waiter.join();
        EXPECT_EQ(result.load(), c.expected) << c.name;
        if (!c.leaveFirst) group.leave();
    }
}

TEST(DispatchGroup, RealTimeWaitReportsWhetherTheBlocksEndedInTime) {
    DispatchGroup group;
    group.enter();
    EXPECT_FALSE(group.waitFor(0.02));
    group.async(GlobalQueue::shared(), [group]() mutable { group.leave(); });
    EXPECT_TRUE(group.waitFor(10.0));
    group.wait();
}

}  // namespace
}  // namespace wv
