#include <gtest/gtest.h>

#include "languages/KeyMapCombinator.h"

namespace wv {
namespace {

const DeadKeyPair kPairs[] = {{"ê", "^e"}, {"è", "`e"}, {"ã", "˜a"}};

TEST(KeyMapCombinator, GivesTheSequenceOfAComposedLetter) {
    KeyMapCombinator c(kPairs);
    EXPECT_EQ(c.size(), 3u);
    EXPECT_EQ(c.sequence("ê"), "^e");
    EXPECT_EQ(c.sequence("ã"), "˜a");
    EXPECT_EQ(c.sequence("Ê"), std::nullopt);
    EXPECT_EQ(c.sequence("e"), std::nullopt);
    EXPECT_TRUE(c.contains("è"));
    EXPECT_FALSE(c.contains("é"));
    EXPECT_FALSE(c.contains(""));
}

TEST(KeyMapCombinator, DecomposedInputFindsThePrecomposedLetter) {
    KeyMapCombinator c(kPairs);
    EXPECT_EQ(c.sequence("e\u0302"), "^e");
    EXPECT_TRUE(c.isFirstKey("^", "e\u0302"));
}

TEST(KeyMapCombinator, FirstAndSecondKey) {
    KeyMapCombinator c(kPairs);
    struct Case {
        const char* typed;
        const char* expected;
        bool first, second;
    } cases[] = {
        {"^", "ê", true, false},  {"e", "ê", false, true}, {"`", "ê", false, false},
        {"`", "è", true, false},  {"˜", "ã", true, false}, {"~", "ã", false, false},
        {"^", "a", false, false}, {"a", "ã", false, true}, {"ê", "ê", false, false},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(c.isFirstKey(k.typed, k.expected), k.first) << k.typed << " " << k.expected;
        EXPECT_EQ(c.isSecondKey(k.typed, k.expected), k.second) << k.typed << " " << k.expected;
    }
}

TEST(KeyMapCombinator, APrintedPairMustBeTwoKeyPresses) {
    EXPECT_FALSE(KeyMapCombinator::makePair({"ê", "^"}).has_value());
    EXPECT_FALSE(KeyMapCombinator::makePair({"ê", "^ee"}).has_value());
    EXPECT_FALSE(KeyMapCombinator::makePair({"", "^e"}).has_value());
    auto pair = KeyMapCombinator::makePair({"á", "´a"});
    ASSERT_TRUE(pair.has_value());
    EXPECT_EQ(pair->deadKey, "\u00B4");
    EXPECT_EQ(pair->letter, "a");
    EXPECT_EQ(pair->sequence(), "\u00B4a");
}

}  // namespace
}  // namespace wv
