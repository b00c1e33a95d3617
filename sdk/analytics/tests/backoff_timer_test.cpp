#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/ManualRunLoop.h"
#include "sdk/analytics/PLRBackoffTimer.h"

namespace wv {
namespace {

TEST(BackoffTimer, DelaysGrowAsPowersOfTheBaseUpToTheCap) {
    struct Case {
        double initial;
        uint64_t count;
        double delay;
    };
    const std::vector<Case> cases = {
        {0, 0, 2},     {0, 1, 2},       {2, 1, 2},       {0, 2, 4},       {1.5, 3, 8},
        {3, 2, 9},     {2, 10, 1024},   {2, 11, 1024},   {2, 40, 1024},   {10, 3, 1000},
        {10, 4, 1024}, {2000, 1, 2000}, {2000, 3, 2000}, {3600, 2, 3600},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(PLRBackoffTimer::computeDelayForInitialValue(c.initial, c.count), c.delay)
            << "initial " << c.initial << ", count " << c.count;
    }
}

TEST(BackoffTimer, JitterCoefficientsOutsideZeroToOneAreRefused) {
    for (double bad : {1.0, -0.01, 1.5, std::nan("")}) {
        EXPECT_THROW(PLRBackoffTimer(2, bad), std::invalid_argument) << bad;
    }
    for (double good : {0.0, 0.5, 0.999}) EXPECT_NO_THROW(PLRBackoffTimer(2, good)) << good;
    EXPECT_EQ(PLRBackoffTimer().jitterCoefficient(), 0.10000000149011612);
    EXPECT_EQ(PLRBackoffTimer().initialValue(), 0);
}

// Without jitter each block runs on the main queue exactly when its power of two is due.
TEST(BackoffTimer, BlocksRunOnTheMainQueueAfterEachDelay) {
    ManualRunLoop loop;
    PLRBackoffTimer timer(0, 0.0);
    int ran = 0;
    for (double expected : {2.0, 4.0, 8.0, 16.0}) {
        EXPECT_DOUBLE_EQ(timer.executeBlockAfterNextInterval([&] { ++ran; }), expected);
        const int before = ran;
        loop.advance(expected - 0.001);
        EXPECT_EQ(ran, before) << "ran early at " << expected;
        loop.advance(0.002);
        EXPECT_EQ(ran, before + 1) << "did not run at " << expected;
    }
    EXPECT_EQ(timer.retryCount(), 4u);
}

TEST(BackoffTimer, JitterStaysInsideItsRange) {
    PLRBackoffTimer timer(2);
    double low = 2, high = 0, sum = 0;
    const int n = 4000;
    for (int i = 0; i < n; ++i) {
        const double j = timer.generateRandomJitter();
        low = std::min(low, j);
        high = std::max(high, j);
        sum += j;
    }
    EXPECT_GE(low, 1 - 0.10000000149011612);
    EXPECT_LT(high, 1 + 0.10000000149011612);
    // Spread over the range, not stuck at one value.
    EXPECT_LT(low, 0.91);
    EXPECT_GT(high, 1.09);
    EXPECT_NEAR(sum / n, 1.0, 0.01);
}

TEST(BackoffTimer, RandomDrawsCoverTheHalfOpenRange) {
    for (int i = 0; i < 1000; ++i) {
        const double v = PLRBackoffTimer::randomDoubleWithMin(5, 7);
        ASSERT_GE(v, 5);
        ASSERT_LT(v, 7);
    }
    EXPECT_EQ(PLRBackoffTimer::randomDoubleWithMin(3, 3), 3);
}

}  // namespace
}  // namespace wv
