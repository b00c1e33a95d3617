#include <gtest/gtest.h>

#include <set>

#include "engine/WordsDB.h"
#include "engine/tests/WordFixtures.h"
#include "platform/foundation/Log.h"

namespace wv {
namespace {

using testing::FixtureBundle;

class WordsDBTest : public ::testing::Test {
  protected:
    LogCapture log_;
    FixtureBundle fixture_;
    ScopedRandomSource random_{std::make_shared<SeededRandom>(7)};
};

TEST_F(WordsDBTest, OpensNothingUntilTheFirstRequest) {
    fixture_.write("en_0", {{3, {{"tea", "t"}}}});
    WordsDB db("en_0", fixture_.bundle());
    EXPECT_FALSE(db.isLoaded());
    EXPECT_TRUE(log_.lines().empty());
    EXPECT_EQ(db.word(3, std::nullopt), "tea");
    EXPECT_TRUE(db.isLoaded());
    EXPECT_TRUE(log_.contains("DB opened: en_0.db"));
    EXPECT_TRUE(db.hasEmptyTables());
}

TEST_F(WordsDBTest, PriorityRestrictsToThatLettersRows) {
    fixture_.write("en_1", {{3, {{"tea", "t"}, {"oat", "o"}, {"toe", "t"}, {"ate", "a"}}}});
    WordsDB db("en_1", fixture_.bundle());
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) seen.insert(*db.randomWord(3, "t"));
    EXPECT_EQ(seen, (std::set<std::string>{"tea", "toe"}));
    seen.clear();
    for (int i = 0; i < 200; ++i) seen.insert(*db.word(3, "a"));
    EXPECT_EQ(seen, (std::set<std::string>{"ate"}));
}

TEST_F(WordsDBTest, EmptyOrMissingPriorityDrawsFromTheWholeTable) {
    fixture_.write("en_2", {{2, {{"to", "t"}, {"at", "a"}}}});
    WordsDB db("en_2", fixture_.bundle());
    for (const std::optional<std::string>& priority :
         {std::optional<std::string>(), std::optional<std::string>(""),
          std::optional<std::string>("z")}) {
        std::set<std::string> seen;
        for (int i = 0; i < 100; ++i) seen.insert(*db.word(2, priority));
        EXPECT_EQ(seen, (std::set<std::string>{"to", "at"}));
    }
    EXPECT_FALSE(db.randomWord(2, "z"));
}

TEST_F(WordsDBTest, AnEmptyLengthJoinsTheBeginningsOfOneWordOfEveryLength) {
    testing::WordRows rows;
    for (int n = 1; n <= 10; ++n) {
        if (n != 4) rows[n] = {{std::string(n, char('a' + n - 1)), "x"}};
    }
    fixture_.write("en_3", rows);
    WordsDB db("en_3", fixture_.bundle());
    EXPECT_EQ(db.word(4, "x"), "abbc");
    EXPECT_EQ(db.word(9, std::nullopt), "iiiiiiiii");  // that table has a word
}

TEST_F(WordsDBTest, NoWordWhenTheJoinedPiecesAreNotLongerThanTheLength) {
    fixture_.write("en_4", {{1, {{"a", "a"}}}, {2, {{"bc", "b"}}}});
    fixture_.write("en_5", {});
    WordsDB joinedExactly("en_4", fixture_.bundle());
    EXPECT_FALSE(joinedExactly.word(3, std::nullopt));
    EXPECT_EQ(joinedExactly.word(2, std::nullopt), "bc");
    WordsDB empty("en_5", fixture_.bundle());
    for (int n = 1; n <= 10; ++n) EXPECT_FALSE(empty.word(n, "a"));
}

TEST_F(WordsDBTest, MissingTablesCountAsEmpty) {
    fixture_.write("en_0", {}, /*withTables=*/false);
    WordsDB db("en_0", fixture_.bundle());
    EXPECT_FALSE(db.word(3, "t"));
    EXPECT_TRUE(db.hasEmptyTables());
}

TEST_F(WordsDBTest, AMissingFileSaysSoGivesNoWordsAndCreatesNothing) {
    WordsDB db("en_9", fixture_.bundle());
    EXPECT_FALSE(db.word(3, "t"));
    EXPECT_FALSE(db.randomWord(3, std::nullopt));
    EXPECT_TRUE(log_.contains(
        "word database missing from the bundle: db/en_9.db; this level has no words"));
    EXPECT_FALSE(std::filesystem::exists(fixture_.path("en_9")));
}

TEST_F(WordsDBTest, APriorityWithAQuoteIsOnlyALetter) {
    fixture_.write("en_5", {{5, {{"don't", "'"}, {"table", "t"}}}});
    WordsDB db("en_5", fixture_.bundle());
    EXPECT_EQ(db.randomWord(5, "'"), "don't");
    EXPECT_FALSE(db.randomWord(5, "\" OR 1=1 --"));
}

TEST_F(WordsDBTest, EveryRowOfALetterIsDrawn) {
    testing::WordRows rows;
    for (int i = 0; i < 50; ++i) rows[6].push_back({"word" + std::to_string(10 + i), "w"});
    rows[6].push_back({"aaaaaa", "a"});
    fixture_.write("en_0", rows);
    WordsDB db("en_0", fixture_.bundle());
    std::set<std::string> seen;
    for (int i = 0; i < 2000; ++i) seen.insert(*db.randomWord(6, "w"));
    EXPECT_EQ(seen.size(), 50u);
    EXPECT_FALSE(seen.count("aaaaaa"));
}

}  // namespace
}  // namespace wv
