#pragma once

// Waiting in tests for what other threads and a manual clock bring about, with limits
// generous enough for a loaded machine: a condition that holds ends the wait at once.

#include <chrono>
#include <functional>
#include <thread>

#include "platform/dispatch/ManualRunLoop.h"

namespace wv::test {

// Waits up to twenty seconds of real time, the manual clock standing still.
inline bool eventually(const std::function<bool()>& condition) {
    for (int i = 0; i < 4000; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition();
}

// Moves the manual clock in steps until `condition` holds, letting the queues catch up.
inline bool advanceUntil(ManualRunLoop& loop, double seconds,
                         const std::function<bool()>& condition, double step = 0.5) {
    for (double t = 0; t <= seconds; t += step) {
        for (int i = 0; i < 20; ++i) {
            if (condition()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        loop.advance(step);
    }
    return condition();
}

}  // namespace wv::test
