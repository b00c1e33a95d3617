#include <gtest/gtest.h>

#include "engine/MistypesInfo.h"
#include "platform/foundation/Log.h"

namespace wv {
namespace {

TEST(MistypesInfo, CountsEveryCharacterAndPrintsTheMap) {
    LogCapture log;
    MistypesInfo info(Language::de, "aabä");
    EXPECT_EQ(info.lang(), Language::de);
    EXPECT_EQ(info.list(), "aabä");
    EXPECT_EQ(info.count("a"), 2);
    EXPECT_EQ(info.count("b"), 1);
    EXPECT_EQ(info.count("ä"), 1);
    EXPECT_TRUE(log.contains("mystypesInfo: [\"a\": 2, \"b\": 1, \"ä\": 1]"));
}

TEST(MistypesInfo, EmptyListGivesNothingToPractise) {
    LogCapture log;
    MistypesInfo info(Language::en, "");
    EXPECT_TRUE(info.dic().empty());
    EXPECT_FALSE(info.mostFrequentCharacter());
    EXPECT_FALSE(info.inject("a"));
    EXPECT_EQ(info.injectWord("abc"), 0);
    EXPECT_TRUE(log.contains("mystypesInfo: [:]"));
}

TEST(MistypesInfo, APractisedLetterLeavesWhenUsedUp) {
    LogCapture log;
    MistypesInfo info(Language::en, "aab");
    EXPECT_EQ(info.mostFrequentCharacter(), "a");
    EXPECT_TRUE(info.inject("a"));
    EXPECT_EQ(info.mostFrequentCharacter(), "a");
    EXPECT_TRUE(info.inject("a"));
    EXPECT_EQ(info.count("a"), 0);
    EXPECT_EQ(info.dic().size(), 1u);
    EXPECT_EQ(info.mostFrequentCharacter(), "b");
    EXPECT_TRUE(log.contains("injected a"));
}

TEST(MistypesInfo, InjectWordCountsOnlyLettersStillPending) {
    LogCapture log;
    MistypesInfo info(Language::en, "aan");
    EXPECT_EQ(info.injectWord("banana"), 3);
    EXPECT_TRUE(info.dic().empty());
    EXPECT_EQ(log.count("injected a"), 2u);
    EXPECT_EQ(log.count("injected n"), 1u);
}

TEST(MistypesInfo, WholeCharactersAreDistinctKeys) {
    LogCapture log;
    // "e" + combining acute is one character, different from "e" and from "A".
    MistypesInfo info(Language::fr, "ee\u0301aA");
    EXPECT_EQ(info.dic().size(), 4u);
    EXPECT_EQ(info.count("e\u0301"), 1);
    EXPECT_EQ(info.count("e"), 1);
    EXPECT_FALSE(info.inject("é"));  // the precomposed form is another text
    EXPECT_TRUE(info.inject("A"));
    EXPECT_EQ(info.count("a"), 1);
}

}  // namespace
}  // namespace wv
