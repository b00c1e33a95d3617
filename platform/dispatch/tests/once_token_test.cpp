#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/dispatch/OnceToken.h"

namespace wv {
namespace {

TEST(OnceToken, RunsOnceAcrossThreadsAndLateCallersSeeItsWork) {
    OnceToken token;
    std::atomic<int> runs{0};
    int value = 0;  // written only by the one run; readers rely on the token's ordering
    std::atomic<int> sawValue{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&] {
            callOnce(token, [&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                value = 42;
                ++runs;
            });
            if (value == 42) ++sawValue;
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(runs.load(), 1);
    EXPECT_EQ(sawValue.load(), 8) << "every caller returns only after the block ran";
}

TEST(OnceToken, BlockThatThrowsCountsAsNotRun) {
    OnceToken token;
    int runs = 0;
    EXPECT_THROW(callOnce(token,
                          [&] {
                              ++runs;
                              throw std::runtime_error("first try fails");
                          }),
                 std::runtime_error);
    callOnce(token, [&] { ++runs; });
    callOnce(token, [&] { ++runs; });
    EXPECT_EQ(runs, 2);
}

}  // namespace
}  // namespace wv
