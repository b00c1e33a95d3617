#include "engine/Random.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/tests/Script.h"

namespace wv {
namespace {

using testing::Script;
using Draws = std::vector<ScriptedRandom::Draw>;

TEST(WeightedRandomIndex, DrawsOneBasedPositionsOverThePositiveWeights) {
    struct Case {
        std::vector<int> weights;
        Draws script;
        std::optional<int> position;
    } cases[] = {
        {{}, {}, std::nullopt},
        {{0, 0}, {}, std::nullopt},
        {{5}, {{0, 5}}, 1},
        {{5}, {{4, 5}}, 1},
        {{0, 7}, {{0, 7}}, 2},
        {{0, 7}, {{6, 7}}, 2},
        {{1, 1}, {{0, 2}}, 1},
        {{1, 1}, {{1, 2}}, 2},
        {{4590, 3631, 1578}, {{4589, 9799}}, 1},
        {{4590, 3631, 1578}, {{4590, 9799}}, 2},
        {{4590, 3631, 1578}, {{8220, 9799}}, 2},
        {{4590, 3631, 1578}, {{8221, 9799}}, 3},
        {{4590, 3631, 1578}, {{9798, 9799}}, 3},
        {{3, 0, 2}, {{2, 5}}, 1},
        {{3, 0, 2}, {{3, 5}}, 3},
        {{-4, 2}, {{1, 2}}, 2},  // a negative weight is never drawn and does not shrink the sum
    };
    for (const auto& c : cases) {
        Script script(c.script);
        EXPECT_EQ(weightedRandomIndex(c.weights), c.position)
            << ::testing::PrintToString(c.weights);
        EXPECT_TRUE(script.used());
    }
}

TEST(WeightedRandomIndex, FollowsTheWeightsWithARealSource) {
    ScopedRandomSource scope(std::make_shared<SeededRandom>(3));
    std::map<int, int> seen;
    const int runs = 40000;
    for (int i = 0; i < runs; ++i) ++seen[*weightedRandomIndex({4590, 3631, 1578})];
    EXPECT_NEAR(double(seen[1]) / runs, 4590.0 / 9799, 0.01);
    EXPECT_NEAR(double(seen[3]) / runs, 1578.0 / 9799, 0.01);
}

TEST(Shuffle, AsksShrinkingBoundsAndExchangesAsDrawn) {
    struct Case {
        std::string items;
        Draws script;
        std::string shuffled;
    } cases[] = {
        {"", {}, ""},
        {"a", {}, "a"},
        {"ab", {{0, 2}}, "ab"},
        {"ab", {{1, 2}}, "ba"},
        {"abcd", {{2, 4}, {0, 3}, {1, 2}}, "cbda"},
        {"abcd", {{0, 4}, {0, 3}, {0, 2}}, "abcd"},
        {"abcd", {{3, 4}, {2, 3}, {1, 2}}, "dabc"},
    };
    for (const auto& c : cases) {
        Script script(c.script);
        std::vector<char> items(c.items.begin(), c.items.end());
        shuffle(items);
        EXPECT_EQ(std::string(items.begin(), items.end()), c.shuffled) << c.items;
        EXPECT_TRUE(script.used());
    }
}

TEST(Random, SetAndArrayElements) {
    {
        Script script({});
        EXPECT_EQ(Random::randomSetElement({}), std::nullopt);
        EXPECT_EQ(Random::randomArrayElement({}), "");
    }
    Script script({{2, 3}, {0, 3}, {1, 3}});
    EXPECT_EQ(Random::randomSetElement({9, 5, 7}), 9);  // steps in ascending order
    EXPECT_EQ(Random::randomSetElement({9, 5, 7}), 5);
    EXPECT_EQ(Random::randomArrayElement({"a", "b", "c"}), "b");
    EXPECT_TRUE(script.used());
}

TEST(Random, DistinctElements) {
    const std::set<int> four{10, 20, 30, 40};
    struct Case {
        std::set<int> set;
        int n;
        Draws script;
        std::set<int> chosen;
    } cases[] = {
        {{0, 1, 2}, 3, {}, {0, 1, 2}},
        {{0, 1, 2}, 5, {}, {0, 1, 2}},
        {{0, 1, 2}, 0, {}, {}},
        {{0, 1, 2}, -1, {}, {}},
        {{}, 2, {}, {}},
        {four, 2, {{2, 4}, {0, 4}}, {30, 10}},
        {four, 3, {{3, 4}, {1, 4}, {2, 4}}, {40, 20, 30}},
        // A repeat is followed by one draw among the elements not chosen yet (10, 20, 40).
        {four, 2, {{2, 4}, {2, 4}, {1, 3}}, {30, 20}},
        {four, 3, {{0, 4}, {0, 4}, {2, 3}, {1, 4}}, {10, 40, 20}},
    };
    for (const auto& c : cases) {
        Script script(c.script);
        EXPECT_EQ(Random::distinctRandomElements(c.set, c.n), c.chosen) << c.n;
        EXPECT_TRUE(script.used());
    }
}

TEST(Random, DistinctElementsEndWithAStuckSource) {
    for (uint32_t value : {0u, 2u, UINT32_MAX}) {
        ScopedRandomSource scope(std::make_shared<ConstantRandom>(value));
        EXPECT_EQ(Random::distinctRandomElements({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 6).size(), 6u);
    }
}

TEST(Random, DistinctElementsAreEquallyLikely) {
    ScopedRandomSource scope(std::make_shared<SeededRandom>(11));
    std::map<int, int> seen;
    const int runs = 20000;
    for (int i = 0; i < runs; ++i) {
        for (int e : Random::distinctRandomElements({0, 1, 2, 3, 4}, 2)) ++seen[e];
    }
    for (int e = 0; e < 5; ++e) EXPECT_NEAR(double(seen[e]) / runs, 0.4, 0.015) << e;
}

}  // namespace
}  // namespace wv
