#include <gtest/gtest.h>

#include "platform/foundation/WallClock.h"

namespace wv {
namespace {

TEST(WallClock, AnInstalledClockIsSeenUntilItIsRemoved) {
    const auto fixed = WallClock::TimePoint(std::chrono::seconds(1700000000));
    {
        ScopedWallClock scoped(std::make_shared<FixedWallClock>(fixed));
        EXPECT_EQ(wallNow(), fixed);
    }
    const auto now = wallNow();
    EXPECT_NE(now, fixed);
    EXPECT_LT(std::chrono::abs(now - std::chrono::system_clock::now()), std::chrono::seconds(5));
}

}  // namespace
}  // namespace wv
