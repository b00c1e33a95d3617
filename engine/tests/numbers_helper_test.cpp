#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/WVNumbersHelper.h"
#include "engine/tests/Script.h"

namespace wv {
namespace {

using testing::Script;

TEST(WVNumbersHelper, NumberTextsForEveryDigitCount) {
    struct Case {
        int digits;
        std::vector<ScriptedRandom::Draw> script;
        std::string number;
    } cases[] = {
        {0, {}, ""},
        {1, {{7, 10}}, "7"},
        {1, {{0, 10}}, "0"},
        {2, {{4, 10}, {3, 10}}, "33"},  // a low first draw repeats one digit
        {2, {{0, 10}, {0, 10}}, "00"},
        {2, {{5, 10}, {0, 90}}, "10"},
        {2, {{9, 10}, {89, 90}}, "99"},
        {3, {{0, 10}, {2, 10}, {7, 10}}, "077"},
        {3, {{9, 10}, {5, 10}, {15, 90}}, "925"},
        {4, {{4, 10}, {0, 30}}, "1990"},
        {4, {{0, 10}, {29, 30}}, "2019"},
        {4, {{5, 10}, {0, 9000}}, "1000"},
        {4, {{9, 10}, {8999, 9000}}, "9999"},
        {5, {}, "2000"},
        {11, {}, "2000"},
        {-1, {}, "2000"},
    };
    for (const auto& c : cases) {
        Script script(c.script);
        EXPECT_EQ(WVNumbersHelper::numberWithDigits(c.digits), c.number) << c.digits;
        EXPECT_TRUE(script.used()) << c.digits;
    }
}

TEST(WVNumbersHelper, ShapesHoldWithARealSource) {
    ScopedRandomSource scope(std::make_shared<SeededRandom>(5));
    int years = 0;
    for (int i = 0; i < 4000; ++i) {
        const std::string two = WVNumbersHelper::numberWithDigits(2);
        ASSERT_EQ(two.size(), 2u);
        EXPECT_TRUE(two[0] != '0' || two == "00") << two;
        EXPECT_EQ(WVNumbersHelper::numberWithDigits(3).size(), 3u);
        const int four = std::stoi(WVNumbersHelper::numberWithDigits(4));
        EXPECT_GE(four, 1000);
        EXPECT_LE(four, 9999);
        years += (four >= 1990 && four <= 2019) ? 1 : 0;
    }
    EXPECT_NEAR(years / 4000.0, 0.5, 0.03);
}

}  // namespace
}  // namespace wv
