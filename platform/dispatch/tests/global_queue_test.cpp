#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "platform/dispatch/DispatchGroup.h"
#include "platform/dispatch/GlobalQueue.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/ManualRunLoop.h"
#include "platform/dispatch/SerialQueue.h"
#include "platform/dispatch/ThreadName.h"

namespace wv {
namespace {

TEST(GlobalQueue, RunsBlocksSeveralAtOnceOnItsNamedThreads) {
    auto& pool = GlobalQueue::shared();
    DispatchGroup group;
    std::mutex mutex;
    std::set<std::string> names;
    std::atomic<int> inside{0};
    std::atomic<int> metTogether{0};
    for (int i = 0; i < 2; ++i) {
        group.async(pool, [&] {
            // Two blocks that each wait for the other can only both end on a concurrent pool.
            ++inside;
            for (int spin = 0; spin < 5000 && inside.load() < 2; ++spin)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (inside.load() >= 2) ++metTogether;
            std::lock_guard lock(mutex);
            names.insert(givenThreadName().value_or("<unnamed>"));
            EXPECT_TRUE(GlobalQueue::shared().isCurrent());
        });
    }
    ASSERT_TRUE(group.waitFor(10.0));
    EXPECT_EQ(metTogether.load(), 2);
    EXPECT_EQ(names, std::set<std::string>{"wovanu.global"});
    EXPECT_FALSE(pool.isCurrent());
}

// A delayed block on each kind of queue waits for the main run loop's clock, not real time.
TEST(DelayedRun, WaitsForTheManualClockOnEveryQueue) {
    SerialQueue serial("test.delayed");
    struct Case {
        const char* name;
        std::function<void(double, std::function<void()>)> asyncAfter;
        bool onMainThread;
    };
    const Case cases[] = {
        {"main",
         [](double s, std::function<void()> b) { MainQueue::shared().asyncAfter(s, std::move(b)); },
         true},
        {"serial", [&](double s, std::function<void()> b) { serial.asyncAfter(s, std::move(b)); },
         false},
        {"global",
         [](double s, std::function<void()> b) {
             GlobalQueue::shared().asyncAfter(s, std::move(b));
         },
         false},
    };
    for (const auto& c : cases) {
        ManualRunLoop loop;
        DispatchGroup group;
        group.enter();
        std::atomic<double> ranAt{0};
        std::atomic<bool> ranOnMain{false};
        c.asyncAfter(1024, [&] {
            ranAt = loop.now();
            ranOnMain = isMainThread();
            group.leave();
        });
        loop.advance(1023.9);
        EXPECT_FALSE(group.waitFor(0.05)) << c.name << ": ran before its time";
        loop.advance(0.1);
        ASSERT_TRUE(group.waitFor(10.0)) << c.name;
        EXPECT_DOUBLE_EQ(ranAt.load(), 1000.0 + 1024) << c.name;
        EXPECT_EQ(ranOnMain.load(), c.onMainThread) << c.name;
    }
}

TEST(DelayedRun, BlockForADestroyedSerialQueueIsDropped) {
    ManualRunLoop loop;
    std::atomic<bool> ran{false};
    {
        SerialQueue queue("test.gone");
        queue.asyncAfter(1, [&] { ran = true; });
    }
    loop.advance(2);
    EXPECT_FALSE(ran.load());
}

}  // namespace
}  // namespace wv
