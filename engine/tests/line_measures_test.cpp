#include <gtest/gtest.h>

#include <cmath>

#include "engine/LineMeasures.h"
#include "engine/Mistypes.h"

namespace wv {
namespace {

TEST(LineMeasures, AccuracyFollowsTheSinglePrecisionFormula) {
    struct Case {
        int total, typos, accuracy;
    } cases[] = {
        {100, 1, 99}, {10, 3, 70},  {3, 1, 66},    {50, 60, 0},   {0, 5, 100}, {100, 0, 100},
        {-4, 2, 100}, {1, -1, 100}, {100, 49, 51}, {100, 50, 50}, {7, 7, 0},   {1000, 1, 99},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(accuracyPercent(c.total, c.typos), c.accuracy) << c.total << " / " << c.typos;
    }
}

TEST(LineMeasures, SpeedIsCharactersPerMinuteTruncated) {
    EXPECT_EQ(charactersPerMinute(100, 60.0), 100);
    EXPECT_EQ(charactersPerMinute(100, 30.0), 200);
    EXPECT_EQ(charactersPerMinute(7, 9.0), 46);  // 46.67
    EXPECT_EQ(charactersPerMinute(0, 5.0), 0);
}

TEST(LineMeasures, NoElapsedTimeGivesZeroInsteadOfDividing) {
    EXPECT_EQ(charactersPerMinute(100, 0.0), 0);
    EXPECT_EQ(charactersPerMinute(100, -1.0), 0);
    EXPECT_EQ(charactersPerMinute(100, std::nan("")), 0);
}

TEST(Mistypes, CountsPairsByCharactersNotBytes) {
    Mistypes m;
    EXPECT_EQ(m.count(), 0);
    m.add("éx", 3);
    m.add("жж", 7);
    m.add(" a", 9);
    EXPECT_EQ(m.pairs, "éxжж a");
    EXPECT_EQ(m.pos, (std::vector<int>{3, 7, 9}));
    EXPECT_EQ(m.count(), 3);
    m.pairs += "q";  // a stray half pair does not count
    EXPECT_EQ(m.count(), 3);
    m.clear();
    EXPECT_EQ(m.count(), 0);
    EXPECT_TRUE(m.pos.empty());
}

}  // namespace
}  // namespace wv
