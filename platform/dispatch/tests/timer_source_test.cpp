#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/dispatch/GlobalQueue.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/ManualRunLoop.h"
#include "platform/dispatch/SerialQueue.h"
#include "platform/dispatch/ThreadName.h"
#include "platform/dispatch/TimerSource.h"

namespace wv {
namespace {

struct Beats {
    std::mutex mutex;
    std::vector<double> times;
    std::vector<bool> onMain;
    void add(double t) {
        std::lock_guard lock(mutex);
        times.push_back(t);
        onMain.push_back(isMainThread());
    }
    std::vector<double> get() {
        std::lock_guard lock(mutex);
        return times;
    }
};

TEST(TimerSource, FiresEveryIntervalOffTheMainThreadOnItsQueue) {
    ManualRunLoop loop;
    SerialQueue queue("test.timer");
    Beats beats;
    std::string threadName;
    TimerSource timer(queue, 60, 6, [&] {
        beats.add(loop.now());
        threadName = givenThreadName().value_or("");
    });
    EXPECT_EQ(timer.leeway(), 6);
    loop.advance(59);
    queue.drain();
    EXPECT_TRUE(beats.get().empty());
    loop.advance(1);
    queue.drain();
    loop.advance(60);
    queue.drain();
    EXPECT_EQ(beats.get(), (std::vector<double>{1060, 1120}));
    loop.advance(180);
    queue.drain();
    EXPECT_EQ(beats.get().size(), 5u) << "three more beats in three intervals";
    EXPECT_EQ(beats.onMain, (std::vector<bool>(5, false)));
    EXPECT_EQ(threadName, "test.timer");
}

TEST(TimerSource, SilentAfterCancelOrDestruction) {
    for (bool destroy : {false, true}) {
        ManualRunLoop loop;
        SerialQueue queue("test.timer.silent");
        Beats beats;
        auto timer = std::make_unique<TimerSource>(queue, 1, 0, [&] { beats.add(loop.now()); });
        loop.advance(1);
        queue.drain();
        // A beat already handed to the queue but not run yet must not run either.
        std::atomic<bool> release{false};
        queue.async([&] {
            while (!release.load()) std::this_thread::yield();
        });
        loop.advance(1);
        if (destroy)
            timer.reset();
        else
            timer->cancel();
        release = true;
        loop.advance(10);
        queue.drain();
        EXPECT_EQ(beats.get().size(), 1u) << (destroy ? "destroyed" : "cancelled");
        if (!destroy) {
            EXPECT_TRUE(timer->isCancelled());
        }
    }
}

TEST(TimerSource, DestructionWaitsForARunningHandler) {
    ManualRunLoop loop;
    std::atomic<bool> inside{false};
    std::atomic<bool> finished{false};
    auto timer = std::make_unique<TimerSource>(GlobalQueue::shared(), 1, 0.1, [&] {
        inside = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        finished = true;
    });
    loop.advance(1);
    for (int i = 0; i < 5000 && !inside.load(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(inside.load());
    timer.reset();
    EXPECT_TRUE(finished.load()) << "the handler was still running when the timer was gone";
}

TEST(TimerSource, HandlerMayCancelItsOwnTimer) {
    ManualRunLoop loop;
    SerialQueue queue("test.timer.self");
    int beats = 0;
    std::unique_ptr<TimerSource> timer;
    timer = std::make_unique<TimerSource>(queue, 1, 0, [&] {
        ++beats;
        timer->cancel();
    });
    loop.advance(5);
    queue.drain();
    EXPECT_EQ(beats, 1);
}

}  // namespace
}  // namespace wv
