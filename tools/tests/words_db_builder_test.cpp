#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/sqlite/Database.h"
#include "tools/wordsdb/WordsDbBuilder.h"

namespace wv::tools {
namespace {

const std::vector<std::string> kGroups{"ab", "cd", "ef", "gh", "ij", "k'"};

struct Row {
    std::string word;
    std::string priority;
    bool operator==(const Row&) const = default;
};

std::map<int, std::vector<Row>> readRows(const std::filesystem::path& path) {
    sqlite::Database db(path);
    EXPECT_TRUE(db.open(sqlite::Database::Mode::ReadOnly));
    std::map<int, std::vector<Row>> rows;
    for (int n = 1; n <= 10; ++n) {
        auto result = db.executeQuery("SELECT word, priorityChar FROM words" + std::to_string(n) +
                                      " ORDER BY id");
        EXPECT_TRUE(result);
        while (result && result->next()) {
            rows[n].push_back(
                {*result->stringForColumn("word"), *result->stringForColumn("priorityChar")});
        }
    }
    return rows;
}

class WordsDbBuilderTest : public ::testing::Test {
  protected:
    std::filesystem::path path_ = std::filesystem::path(getenv("XDG_DATA_HOME")) / "fixture_1.db";
};

TEST_F(WordsDbBuilderTest, OneRowPerWordAndLessonLetterOnlyFromLearnedGroups) {
    WordsDbBuilder builder(kGroups, {});
    const std::vector<std::string> words{"cab", "dad", "abba", "cdc", "ace", "a", "b", "cx"};
    const auto result = builder.build(words, 1, path_);
    ASSERT_TRUE(result.ok) << result.error;
    auto rows = readRows(path_);
    // "ace" has a letter of a later lesson, "cx" one of no lesson, "abba" and the single
    // letters only letters of lesson 0: none of them belongs to level 1.
    EXPECT_EQ(rows[3], (std::vector<Row>{{"cab", "c"}, {"dad", "d"}, {"cdc", "c"}, {"cdc", "d"}}));
    EXPECT_TRUE(rows[1].empty());
    EXPECT_TRUE(rows[4].empty());
    EXPECT_EQ(result.rowsPerTable, (std::vector<size_t>{0, 0, 4, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(WordsDbBuilderTest, CapsKeepTheMostFrequentWordsOfEachLetterAndLength) {
    WordsDbBuilder builder(kGroups, {2, 1});
    const std::vector<std::string> words{"ca", "cb", "cc", "da", "ab", "ba"};
    ASSERT_TRUE(builder.build(words, 1, path_).ok);
    EXPECT_EQ(readRows(path_)[2], (std::vector<Row>{{"ca", "c"}, {"cb", "c"}, {"da", "d"}}));
}

TEST_F(WordsDbBuilderTest, LastLevelAlsoHoldsLowerWordsUnderTheirHighestLetter) {
    WordsDbBuilder builder(kGroups, {5, 2});
    const std::vector<std::string> words{"kab", "acid", "bad", "aa", "ab", "ka"};
    ASSERT_TRUE(builder.build(words, 5, path_).ok);
    auto rows = readRows(path_);
    EXPECT_EQ(rows[3], (std::vector<Row>{{"kab", "k"}, {"bad", "d"}}));
    EXPECT_EQ(rows[4], (std::vector<Row>{{"acid", "i"}}));
    EXPECT_EQ(rows[2], (std::vector<Row>{{"aa", "a"}, {"ab", "a"}, {"ka", "k"}}));
}

TEST_F(WordsDbBuilderTest, ReplacesAnOldDatabaseWholeAndLeavesNoTemporaryFile) {
    WordsDbBuilder builder(kGroups, {});
    ASSERT_TRUE(builder.build({"ab"}, 0, path_).ok);
    ASSERT_TRUE(builder.build({"ba", "b"}, 0, path_).ok);
    auto rows = readRows(path_);
    EXPECT_EQ(rows[2], (std::vector<Row>{{"ba", "b"}, {"ba", "a"}}));
    EXPECT_EQ(rows[1], (std::vector<Row>{{"b", "b"}}));
    EXPECT_FALSE(std::filesystem::exists(path_.string() + ".tmp"));
}

TEST_F(WordsDbBuilderTest, AFailedBuildKeepsTheOldDatabase) {
    WordsDbBuilder builder(kGroups, {});
    const auto missing = std::filesystem::path(getenv("XDG_DATA_HOME")) / "no" / "such" / "x.db";
    const auto result = builder.build({"ab"}, 0, missing);
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.empty());
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(WordsDbBuilderTest, LongAndNonNormalisedWordsAreSkipped) {
    WordsDbBuilder builder({"ab", "é", "", "", "", ""}, {});
    // "e" followed by a combining acute is not in NFC.
    ASSERT_TRUE(builder.build({"abababababa", "a\u00e9", "ae\u0301"}, 1, path_).ok);
    auto rows = readRows(path_);
    EXPECT_EQ(rows[2], (std::vector<Row>{{"a\u00e9", "\u00e9"}}));
    EXPECT_TRUE(rows[3].empty());
    EXPECT_TRUE(rows[10].empty());
}

}  // namespace
}  // namespace wv::tools
