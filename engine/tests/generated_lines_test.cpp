// Lines made from the bundle's word databases hold only what the lesson has taught: its
// letters (and their capitals with capitals on), digits with numbers on, marks with
// punctuation on. Every language, every level and every combination of options.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "engine/WordGeneratorBase.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Random.h"
#include "platform/foundation/Text.h"
#include "platform/sqlite/Database.h"

namespace wv {
namespace {

constexpr int kLinesPerLevel = 1000;

struct Options {
    Language language;
    bool capitals;
    bool numbers;
    bool punctuation;
};

void PrintTo(const Options& o, std::ostream* out) {
    *out << languageName(o.language) << (o.capitals ? " capitals" : "")
         << (o.numbers ? " numbers" : "") << (o.punctuation ? " punctuation" : "");
}

std::set<std::string> allowed(const WordGeneratorBase& generator, const Options& o, int level) {
    std::set<std::string> chars{" "};
    const auto groups = generator.letterGroups();
    const char* locale = o.language == Language::tr ? "tr" : "";
    for (int g = 0; g <= std::min(level, 5); ++g) {
        for (const auto& letter : text::characters(groups[g])) {
            chars.insert(letter);
            if (o.capitals) {
                chars.insert(text::upper(letter));
                chars.insert(text::upper(letter, locale));
            }
        }
    }
    if (o.numbers) {
        for (char d = '0'; d <= '9'; ++d) chars.insert(std::string(1, d));
    }
    if (o.punctuation) {
        for (const char* mark : {",", ":", ";", "-", ".", "?", "!"}) chars.insert(mark);
    }
    return chars;
}

class GeneratedLines : public ::testing::TestWithParam<Options> {};

TEST_P(GeneratedLines, HoldOnlyWhatTheLessonAllows) {
    const Options o = GetParam();
    LogCapture quiet;
    ScopedRandomSource random(std::make_shared<SeededRandom>(
        rawValue(o.language) * 8 + o.capitals * 4 + o.numbers * 2 + o.punctuation));
    WordGeneratorSettings settings;
    settings.capitals = o.capitals;
    settings.numbers = o.numbers;
    settings.punctuation = o.punctuation;
    auto generator = makeWordGenerator(o.language, settings);
    for (int level = 0; level <= 6; ++level) {
        settings.level = level;
        const auto chars = allowed(*generator, o, level);
        for (int i = 0; i < kLinesPerLevel; ++i) {
            const std::string line = generator->generateText(100, level, nullptr);
            ASSERT_FALSE(line.empty()) << "level " << level;
            ASSERT_EQ(line.find("ERROR"), std::string::npos) << "level " << level << ": " << line;
            for (const auto& c : text::characters(line)) {
                ASSERT_TRUE(chars.count(c)) << "level " << level << ": \"" << c << "\" in " << line;
            }
        }
        quiet.clear();
    }
}

std::vector<Options> allOptions() {
    std::vector<Options> all;
    for (int raw = 0; raw <= 9; ++raw) {
        for (int bits = 0; bits < 8; ++bits) {
            all.push_back(
                {*languageFromRawValue(raw), bool(bits & 4), bool(bits & 2), bool(bits & 1)});
        }
    }
    return all;
}

INSTANTIATE_TEST_SUITE_P(EveryLanguageAndOption, GeneratedLines, ::testing::ValuesIn(allOptions()),
                         [](const auto& info) {
                             const Options& o = info.param;
                             return std::string(languageName(o.language)) +
                                    (o.capitals ? "_C" : "_c") + (o.numbers ? "N" : "n") +
                                    (o.punctuation ? "P" : "p");
                         });

// The filter is the last guard; the word lists were made without these words in the first place.
TEST(EnglishDatabases, HoldNoFilteredWord) {
    LogCapture quiet;
    WordGeneratorSettings settings;
    auto en = makeWordGenerator(Language::en, settings);
    const auto& filtered = en->filterWordsSet();
    ASSERT_GT(filtered.size(), 50u);
    for (int level = 0; level <= 5; ++level) {
        const auto path = Bundle::main().pathForResource("db/en_" + std::to_string(level), "db");
        ASSERT_TRUE(path);
        sqlite::Database db(*path);
        ASSERT_TRUE(db.open(sqlite::Database::Mode::ReadOnly));
        for (int n = 1; n <= 10; ++n) {
            auto rs = db.executeQuery("SELECT word FROM words" + std::to_string(n));
            ASSERT_TRUE(rs);
            while (rs->next()) EXPECT_FALSE(filtered.count(*rs->stringForColumnIndex(0)));
        }
    }
}

}  // namespace
}  // namespace wv
