// Checks the word databases the build put into the bundle: the lesson engine asks them for
// words of every length and for every letter of a lesson, and trusts what they hold.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "languages/Language.h"
#include "languages/LetterGroups.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Text.h"
#include "platform/sqlite/Database.h"

namespace wv {
namespace {

int groupOf(const std::vector<std::string>& groups, char32_t letter) {
    for (int i = 0; i < 6; ++i) {
        if (text::toUtf32(groups[i]).find(letter) != std::u32string::npos) return i;
    }
    return -1;
}

std::filesystem::path databasePath(std::string_view caseName, int level) {
    return Bundle::main().root() / "db" /
           (std::string(caseName) + "_" + std::to_string(level) + ".db");
}

}  // namespace

void PrintTo(Language language, std::ostream* out) { *out << languageName(language); }

namespace {

std::vector<Language> allLanguages() {
    std::vector<Language> all;
    for (int raw = 0; raw <= 9; ++raw) all.push_back(*languageFromRawValue(raw));
    return all;
}

class WordDatabases : public ::testing::TestWithParam<Language> {};

TEST_P(WordDatabases, EveryLevelHoldsOnlyItsLettersAndEveryLessonLetter) {
    const std::string caseName(languageName(GetParam()));
    const auto& groups = letterGroups(GetParam());
    ASSERT_EQ(groups.size(), 6u);
    for (int level = 0; level <= 5; ++level) {
        SCOPED_TRACE(caseName + "_" + std::to_string(level));
        const auto path = databasePath(caseName, level);
        ASSERT_TRUE(std::filesystem::is_regular_file(path)) << path;
        sqlite::Database db(path);
        ASSERT_TRUE(db.open(sqlite::Database::Mode::ReadOnly));

        std::set<char32_t> lessonLettersSeen;
        size_t rows = 0;
        for (int n = 1; n <= 10; ++n) {
            const std::string table = "words" + std::to_string(n);
            auto result = db.executeQuery("SELECT id, word, priorityChar FROM " + table);
            ASSERT_TRUE(result) << table << ": " << db.lastErrorMessage();
            std::set<int64_t> ids;
            while (result->next()) {
                ++rows;
                EXPECT_TRUE(ids.insert(result->longLongIntForColumn("id")).second);
                const std::string word = result->stringForColumn("word").value_or("");
                const std::string priority = result->stringForColumn("priorityChar").value_or("");
                const std::u32string letters = text::toUtf32(word);
                EXPECT_EQ(text::nfc(word), word) << word;
                ASSERT_EQ(letters.size(), static_cast<size_t>(n)) << table << ": " << word;
                for (char32_t c : letters) {
                    const int group = groupOf(groups, c);
                    EXPECT_TRUE(group >= 0 && group <= level) << word;
                }
                const std::u32string p = text::toUtf32(priority);
                ASSERT_EQ(p.size(), 1u) << word << " / " << priority;
                EXPECT_NE(letters.find(p[0]), std::u32string::npos) << word << " / " << priority;
                const int priorityGroup = groupOf(groups, p[0]);
                // Lower-level words are only added to the last level (for the expert level).
                if (level < 5) {
                    EXPECT_EQ(priorityGroup, level) << word << " / " << priority;
                }
                if (priorityGroup == level) lessonLettersSeen.insert(p[0]);
            }
        }
        EXPECT_GT(rows, 0u);
        for (char32_t c : text::toUtf32(groups[level])) {
            EXPECT_TRUE(lessonLettersSeen.count(c)) << "no word for " << text::toUtf8(c);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllLanguages, WordDatabases, ::testing::ValuesIn(allLanguages()),
                         [](const auto& info) { return std::string(languageName(info.param)); });

TEST(WordDatabasesSet, SixtyFilesUnderTwentyMegabytes) {
    uintmax_t total = 0;
    int files = 0;
    for (Language language : allLanguages()) {
        for (int level = 0; level <= 5; ++level) {
            const auto path = databasePath(languageName(language), level);
            ASSERT_TRUE(std::filesystem::is_regular_file(path)) << path;
            total += std::filesystem::file_size(path);
            ++files;
        }
    }
    EXPECT_EQ(files, 60);
    EXPECT_LT(total, 20u * 1024 * 1024);
    // An interrupted build leaves nothing half-written beside them.
    for (const auto& entry : std::filesystem::directory_iterator(Bundle::main().root() / "db")) {
        EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
    }
}

}  // namespace
}  // namespace wv
