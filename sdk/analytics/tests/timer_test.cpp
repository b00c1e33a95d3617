#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/ManualRunLoop.h"
#include "sdk/analytics/PLRTimer.h"

namespace wv {
namespace {

// Beats reach the queue from the global pool: wait briefly for them to land.
bool eventually(const std::function<bool()>& condition) {
    for (int i = 0; i < 400; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition();
}

TEST(Timer, ToleranceIsATenthOfTheInterval) {
    ManualRunLoop loop;
    auto queue = std::make_shared<OperationQueue>("q", 1);
    for (double interval : {60.0, 0.5, 3600.0}) {
        PLRTimer timer(interval, queue, "io.plurio.TimedEventsFlush", [] {});
        EXPECT_DOUBLE_EQ(timer.tolerance(), interval / 10);
        ASSERT_TRUE(timer.timerSource());
        EXPECT_DOUBLE_EQ(timer.timerSource()->interval(), interval);
        EXPECT_DOUBLE_EQ(timer.timerSource()->leeway(), interval / 10);
    }
}

TEST(Timer, FiresOnItsQueueEveryIntervalFromConstruction) {
    ManualRunLoop loop;
    auto queue = std::make_shared<OperationQueue>("io.plurio.EventQueue", 1);
    std::atomic<int> fired{0};
    std::atomic<bool> onQueueThread{true};
    PLRTimer timer(60, queue, "io.plurio.TimedEventsFlush", [&] {
        ++fired;
        if (isMainThread()) onQueueThread = false;
    });
    loop.advance(59);
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(fired.load(), 0);
    loop.advance(1);
    EXPECT_TRUE(eventually([&] { return fired.load() == 1; }));
    loop.advance(120);
    EXPECT_TRUE(eventually([&] { return fired.load() == 3; }));
    EXPECT_TRUE(onQueueThread.load());
}

TEST(Timer, IsSilentOnceDestroyed) {
    ManualRunLoop loop;
    auto queue = std::make_shared<OperationQueue>("q", 1);
    std::atomic<int> fired{0};
    {
        PLRTimer timer(10, queue, "t", [&] { ++fired; });
        loop.advance(10);
        EXPECT_TRUE(eventually([&] { return fired.load() == 1; }));
        // A beat that reached the queue but has not run yet must not run after destruction.
        queue->setSuspended(true);
        loop.advance(10);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    queue->setSuspended(false);
    loop.advance(100);
    queue->waitUntilAllOperationsAreFinished();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(fired.load(), 1);
}

}  // namespace
}  // namespace wv
