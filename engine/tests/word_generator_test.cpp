#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "engine/WordGeneratorBase.h"
#include "engine/WordGeneratorDe.h"
#include "engine/WordGeneratorEn.h"
#include "engine/WordGeneratorFr.h"
#include "engine/WordGeneratorRu.h"
#include "engine/tests/WordFixtures.h"
#include "languages/LangRoot.h"
#include "languages/LetterGroups.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"

namespace wv {
namespace {

using testing::FixtureBundle;
using testing::LeadingThenSeeded;
using testing::WordRows;
using Lookup = WordGeneratorBase::Lookup;

struct Request {
    int length;
    int level;
    std::string priority;
    Lookup lookup;
    bool operator==(const Request&) const = default;
};

// Lessons "ab", "cd", "ef", ...; lengths 2 to 4 equally likely at every level.
class FixtureGenerator : public WordGeneratorBase {
  public:
    FixtureGenerator(const WordGeneratorLanguage& langData, Bundle bundle)
        : WordGeneratorBase(Language::en, langData, std::move(bundle)) {}

    std::vector<std::string> letterGroups() const override {
        return {"ab", "cd", "ef", "gh", "ij", "kl"};
    }
    const std::vector<int>& lengthWeightsLevel5() const override { return weights; }
    std::string filterWords() const override { return "bad  dab"; }
    std::optional<std::string> word(int length, int level,
                                    const std::optional<std::string>& priority,
                                    Lookup lookup) override {
        requests.push_back({length, level, priority.value_or("<none>"), lookup});
        return WordGeneratorBase::word(length, level, priority, lookup);
    }

    std::vector<Request> requests;
    std::vector<int> weights{0, 1, 1, 1};
};

// Every word of `letters` of lengths 2 to 4 made of `letters`, one row per letter it holds.
WordRows rowsOf(const std::vector<std::string>& words) {
    WordRows rows;
    for (const auto& w : words) {
        std::set<char> done;
        for (char c : w) {
            if (done.insert(c).second) rows[int(w.size())].push_back({w, std::string(1, c)});
        }
    }
    return rows;
}

class WordGeneratorTest : public ::testing::Test {
  protected:
    WordGeneratorTest() {
        fixture_.write("en_0", rowsOf({"ab", "ba", "aab", "bba", "abba", "baab"}));
        fixture_.write("en_1", rowsOf({"cd", "ac", "dca", "cab", "abcd", "dcba"}));
        fixture_.write("en_2", rowsOf({"ef", "fe", "eaf", "fed", "face", "deaf"}));
        for (int level = 3; level <= 5; ++level) {
            fixture_.write("en_" + std::to_string(level), rowsOf({"gh", "hig", "kilj"}));
        }
    }

    LogCapture log_;
    FixtureBundle fixture_;
    WordGeneratorSettings settings_;
};

std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

TEST_F(WordGeneratorTest, SevenDatabasesTheExpertLevelSharingLevelFive) {
    FixtureGenerator generator(settings_, fixture_.bundle());
    EXPECT_EQ(&generator.db(6), &generator.db(5));
    EXPECT_EQ(generator.db(3).name(), "en_3");
    EXPECT_TRUE(generator.isAuto());
    EXPECT_EQ(generator.prevRndVal(), 0);
    for (int level = 0; level <= 6; ++level) EXPECT_FALSE(generator.db(level).isLoaded());

    ScopedRandomSource random(std::make_shared<SeededRandom>(1));
    settings_.level = 6;
    generator.generateText(100, 6, nullptr);
    EXPECT_EQ(log_.count("DB opened: en_5.db"), 1u);
    for (int level = 0; level <= 4; ++level) EXPECT_FALSE(generator.db(level).isLoaded());
}

TEST_F(WordGeneratorTest, LengthsOutsideOneToTenGiveAnEmptyWord) {
    FixtureGenerator generator(settings_, fixture_.bundle());
    EXPECT_EQ(generator.getWordWithSymbols(0, 0, "a"), "");
    EXPECT_EQ(generator.getWordWithSymbols(11, 0, "a"), "");
    EXPECT_TRUE(log_.contains("getWordWithSymbols: wrong value symbols = 0"));
    EXPECT_TRUE(log_.contains("getWordWithSymbols: wrong value symbols = 11"));
    EXPECT_FALSE(generator.db(0).isLoaded());
}

TEST_F(WordGeneratorTest, FilteredWordsAreNeverReturned) {
    fixture_.write("en_0", rowsOf({"bad", "dab", "ab"}));
    FixtureGenerator generator(settings_, fixture_.bundle());
    EXPECT_EQ(generator.filterWordsSet(), (std::set<std::string>{"bad", "dab"}));
    ScopedRandomSource random(std::make_shared<SeededRandom>(2));
    EXPECT_FALSE(generator.getWordWithSymbols(3, 0, "a"));
    EXPECT_EQ(log_.count("FILTERED word: bad") + log_.count("FILTERED word: dab"), 10u);
    EXPECT_EQ(generator.getWordWithSymbols(2, 0, "a"), "ab");
}

TEST_F(WordGeneratorTest, SentenceCountComesFromTheFirstDraws) {
    settings_.punctuation = true;
    settings_.normal =
        std::make_shared<WVPunctuationSelector>(std::vector<std::shared_ptr<WVPunctuation>>{
            std::make_shared<WVPunctuation>("", ",", "", " ")});
    settings_.ending =
        std::make_shared<WVPunctuationSelector>(std::vector<std::shared_ptr<WVPunctuation>>{
            std::make_shared<WVPunctuation>("", ".", "", " ")});
    struct Case {
        std::vector<uint32_t> draws;
        size_t sentences;
    } cases[] = {{{0}, 2}, {{4}, 2}, {{5, 5}, 3}, {{9, 9}, 3}, {{5, 4}, 1}, {{7, 0}, 1}};
    for (const auto& c : cases) {
        FixtureGenerator generator(settings_, fixture_.bundle());
        auto source = std::make_shared<LeadingThenSeeded>(c.draws, 3);
        ScopedRandomSource random(source);
        const std::string line = generator.generateText(100, 0, nullptr);
        EXPECT_EQ(size_t(std::count(line.begin(), line.end(), '.')), c.sentences) << line;
        for (size_t i = 0; i < c.draws.size(); ++i) EXPECT_EQ(source->bounds[i], 10u);
    }
}

TEST_F(WordGeneratorTest, WithoutPunctuationOneSentenceAndNoDrawForIt) {
    FixtureGenerator generator(settings_, fixture_.bundle());
    auto source = std::make_shared<LeadingThenSeeded>(std::vector<uint32_t>{}, 4);
    ScopedRandomSource random(source);
    const std::string line = generator.generateText(100, 0, nullptr);
    EXPECT_EQ(source->bounds.front(), 3u);  // the first draw is a word length (weights 1, 1, 1)
    EXPECT_EQ(line.find_first_of(".?!,;:"), std::string::npos);
    EXPECT_GE(line.size(), 95u);
}

// Lengths 2 and 4 only: fitting the line shortens a 4 to a 3, which never equals a neighbour,
// so the words of the line show the drawn lengths' order.
TEST_F(WordGeneratorTest, NoTwoEqualLengthsInARowAcrossLines) {
    FixtureGenerator generator(settings_, fixture_.bundle());
    generator.weights = {0, 1, 0, 1};
    for (uint64_t seed = 0; seed < 20; ++seed) {
        {
            ScopedRandomSource random(std::make_shared<SeededRandom>(seed));
            generator.generateText(100, 0, nullptr);
        }
        const int last = generator.prevRndVal();
        ASSERT_TRUE(last == 2 || last == 4);
        generator.requests.clear();
        // The first draw repeats the last length of the previous line: it is drawn again.
        auto source = std::make_shared<LeadingThenSeeded>(
            std::vector<uint32_t>{uint32_t(last == 2 ? 0 : 1)}, seed);
        ScopedRandomSource random(source);
        const auto words = split(generator.generateText(100, 0, nullptr));
        ASSERT_FALSE(generator.requests.empty());
        EXPECT_NE(generator.requests.front().length, last);
        for (size_t i = 1; i < words.size(); ++i) EXPECT_NE(words[i].size(), words[i - 1].size());
    }
}

TEST_F(WordGeneratorTest, AStuckRandomSourceStillAlternatesLengths) {
    FixtureGenerator generator(settings_, fixture_.bundle());
    generator.weights = {0, 1, 0, 1};
    ScopedRandomSource random(std::make_shared<ConstantRandom>(0));
    const auto words = split(generator.generateText(100, 0, nullptr));
    ASSERT_GT(words.size(), 10u);
    for (size_t i = 1; i < words.size(); ++i) EXPECT_NE(words[i].size(), words[i - 1].size());
}

TEST_F(WordGeneratorTest, PriorityIsALetterOfTheCurrentLesson) {
    settings_.level = 1;
    FixtureGenerator generator(settings_, fixture_.bundle());
    ScopedRandomSource random(std::make_shared<SeededRandom>(5));
    // "k" belongs to a later lesson and "9" to none: neither is practised.
    MistypesInfo mistypes(Language::en, "kkkkk999");
    generator.generateText(100, 1, &mistypes);
    ASSERT_FALSE(generator.requests.empty());
    std::set<std::string> priorities;
    for (const auto& r : generator.requests) {
        EXPECT_EQ(r.level, 1);
        priorities.insert(r.priority);
    }
    EXPECT_EQ(priorities, (std::set<std::string>{"c", "d"}));
    for (const auto& line : log_.lines()) EXPECT_EQ(line.find("looking for"), std::string::npos);
}

TEST_F(WordGeneratorTest, TheExpertLevelHasNoLessonLetter) {
    settings_.level = 6;
    FixtureGenerator generator(settings_, fixture_.bundle());
    ScopedRandomSource random(std::make_shared<SeededRandom>(6));
    generator.generateText(100, 6, nullptr);
    for (const auto& r : generator.requests) EXPECT_EQ(r.priority, "");
}

TEST_F(WordGeneratorTest, AMistypedLetterIsLookedForInItsOwnLessonFirst) {
    settings_.level = 2;
    FixtureGenerator generator(settings_, fixture_.bundle());
    ScopedRandomSource random(std::make_shared<SeededRandom>(7));
    MistypesInfo mistypes(Language::en, "bbbbx");
    const std::string w = generator.wordForLength(3, 2, &mistypes);
    ASSERT_FALSE(generator.requests.empty());
    EXPECT_EQ(generator.requests.front(), (Request{3, 0, "b", Lookup::PriorityOnly}));
    EXPECT_TRUE(w == "aab" || w == "bba") << w;
    EXPECT_TRUE(log_.contains("looking for: b in lesson 0"));
    EXPECT_EQ(mistypes.count("b"), w == "aab" ? 3 : 2);
}

TEST_F(WordGeneratorTest, AMistypedLetterWithoutARealWordTakesTheLessonsWay) {
    settings_.level = 2;
    fixture_.write("en_2", rowsOf({"fa", "af", "fad", "dafa"}));  // no word holds an "e"
    FixtureGenerator generator(settings_, fixture_.bundle());
    ScopedRandomSource random(std::make_shared<SeededRandom>(8));
    MistypesInfo mistypes(Language::en, "ee");
    const std::string w = generator.wordForLength(4, 2, &mistypes);
    EXPECT_EQ(w, "dafa");  // a real word of the lesson, never letters glued around an "e"
    ASSERT_EQ(generator.requests.size(), 3u);
    EXPECT_EQ(generator.requests[0], (Request{4, 2, "e", Lookup::PriorityOnly}));
    EXPECT_EQ(generator.requests[1], (Request{4, 2, "e", Lookup::PriorityOnly}));
    EXPECT_EQ(generator.requests[2].lookup, Lookup::WithFallbacks);
    EXPECT_EQ(generator.requests[2].level, 2);
    EXPECT_TRUE(generator.requests[2].priority == "e" || generator.requests[2].priority == "f");
    EXPECT_EQ(mistypes.count("e"), 2);  // "dafa" holds no "e"
}

TEST_F(WordGeneratorTest, MissingDatabasesFillTheLineWithErrorWords) {
    FixtureBundle empty;
    FixtureGenerator generator(settings_, empty.bundle());
    ScopedRandomSource random(std::make_shared<SeededRandom>(9));
    const auto words = split(generator.generateText(100, 0, nullptr));
    ASSERT_FALSE(words.empty());
    for (const auto& w : words) EXPECT_EQ(w, "ERROR");
    EXPECT_EQ(
        log_.count("word database missing from the bundle: db/en_0.db; this level has no words"),
        1u);
    EXPECT_FALSE(std::filesystem::exists(empty.path("en_0")));
}

TEST(WordGeneratorLessons, LessonOfACharacter) {
    WordGeneratorSettings settings;
    WordGeneratorFr fr(settings);
    EXPECT_EQ(fr.lessonOfCharacter("e"), 0);
    EXPECT_EQ(fr.lessonOfCharacter("é"), 3);
    EXPECT_EQ(fr.lessonOfCharacter("e\u0301"), 3);  // canonically the same letter
    EXPECT_EQ(fr.lessonOfCharacter("'"), 4);
    EXPECT_FALSE(fr.lessonOfCharacter("9"));
    EXPECT_FALSE(fr.lessonOfCharacter("E"));
    EXPECT_FALSE(fr.lessonOfCharacter("."));
}

TEST(WordGeneratorLessons, CurrentLevelLettersFollowTheDifficulty) {
    WordGeneratorSettings settings;
    WordGeneratorEn en(settings);
    settings.level = 1;
    EXPECT_EQ(en.currentLevelLetterList(), (std::vector<std::string>{"n", "i", "h", "s", "r"}));
    settings.level = 6;
    EXPECT_TRUE(en.currentLevelLetterList().empty());
}

TEST(WordGeneratorLessons, WeightTablesBoundTheLengths) {
    WordGeneratorSettings settings;
    struct Case {
        Language language;
        std::vector<int> levels;
        std::set<int> neverDrawn;  // lengths 1..10 with no chance
    } cases[] = {
        {Language::en, {0}, {5, 7, 8, 9, 10}},
        {Language::ru, {0}, {6, 7, 8, 9, 10}},
        {Language::ua, {0}, {7, 8, 9, 10}},
        {Language::de, {0, 1, 2}, {8, 9, 10}},
        {Language::fr, {0}, {10}},
        {Language::es, {0}, {9}},
        {Language::it, {0}, {9}},
        {Language::gr, {0}, {9, 10}},
        {Language::pr, {0}, {9, 10}},
        {Language::en, {1, 2, 3, 4, 5, 6, 7}, {}},
        {Language::tr, {0, 5}, {}},
    };
    for (const auto& c : cases) {
        auto generator = makeWordGenerator(c.language, settings);
        for (int level : c.levels) {
            const auto& weights = generator->lengthWeights(level);
            std::set<int> never;
            for (int len = 1; len <= 10; ++len) {
                if (len > int(weights.size()) || weights[len - 1] < 1) never.insert(len);
            }
            EXPECT_EQ(never, c.neverDrawn) << languageName(c.language) << " level " << level;
        }
    }
    // Levels past the German third table and the expert level use the level-5 table.
    auto de = makeWordGenerator(Language::de, settings);
    EXPECT_EQ(&de->lengthWeights(3), &de->lengthWeights(5));
    EXPECT_EQ(&de->lengthWeights(6), &de->lengthWeights(5));
    EXPECT_NE(&de->lengthWeights(2), &de->lengthWeights(5));
}

TEST(WordGeneratorLessons, EveryLanguageHasItsClassAndGroups) {
    WordGeneratorSettings settings;
    for (int raw = 0; raw <= 9; ++raw) {
        const Language language = *languageFromRawValue(raw);
        auto generator = makeWordGenerator(language, settings);
        EXPECT_EQ(generator->type(), language);
        EXPECT_EQ(generator->letterGroups(), letterGroups(language));
        EXPECT_EQ(generator->db(0).name(), std::string(languageName(language)) + "_0");
        EXPECT_EQ(generator->db(5).name(), std::string(languageName(language)) + "_5");
    }
}

class LanguageFixture : public ::testing::Test {
  protected:
    LogCapture log_;
    FixtureBundle fixture_;
    WordGeneratorSettings settings_;
};

TEST_F(LanguageFixture, RussianWordsLoseTheirYo) {
    fixture_.write("ru_0", {{3, {{"ёлё", "о"}}}, {2, {{"ёж", "о"}}}});
    WordGeneratorRu ru(settings_, fixture_.bundle());
    ScopedRandomSource random(std::make_shared<SeededRandom>(10));
    EXPECT_EQ(ru.word(3, 0, "о", WordGeneratorBase::Lookup::WithFallbacks), "еле");
    MistypesInfo mistypes(Language::ru, "еее");
    EXPECT_EQ(ru.wordForLength(3, 0, &mistypes), "еле");
    EXPECT_EQ(mistypes.count("е"), 1);
}

TEST_F(LanguageFixture, OnlyEnglishFiltersItsList) {
    fixture_.write("en_0", {{4, {{"damn", "a"}}}});
    fixture_.write("de_0", {{4, {{"damn", "a"}}}});
    ScopedRandomSource random(std::make_shared<SeededRandom>(11));
    WordGeneratorEn en(settings_, fixture_.bundle());
    WordGeneratorDe de(settings_, fixture_.bundle());
    EXPECT_FALSE(en.getWordWithSymbols(4, 0, "a"));
    EXPECT_TRUE(log_.contains("FILTERED word: damn"));
    EXPECT_EQ(de.getWordWithSymbols(4, 0, "a"), "damn");
    EXPECT_EQ(en.wordForLength(4, 0, nullptr), "ERROR");
}

TEST_F(WordGeneratorTest, ALineUsesUpThePoolAndTheNextLineGoesOnFromWhatIsLeft) {
    settings_.level = 1;
    FixtureGenerator generator(settings_, fixture_.bundle());
    ScopedRandomSource random(std::make_shared<SeededRandom>(12));
    MistypesInfo pool(Language::en, "aaaa");
    generator.generateText(100, 1, &pool);
    ASSERT_FALSE(generator.requests.empty());
    EXPECT_EQ(generator.requests.front().priority, "a");
    EXPECT_EQ(generator.requests.front().level, 0);
    // The "a"s were used up: later words take the lesson's letters again, and so does the
    // next line made from the same pool.
    EXPECT_NE(generator.requests.back().priority, "a");
    EXPECT_EQ(pool.count("a"), 0);
    generator.requests.clear();
    generator.generateText(100, 1, &pool);
    ASSERT_FALSE(generator.requests.empty());
    EXPECT_NE(generator.requests.front().priority, "a");
}

// The language tree makes its generators here; they read the lesson and options of their
// language at each line.
TEST(LangDataGenerators, ReadTheirLanguagesSettings) {
    LogCapture quiet;
    ScopedRandomSource random(std::make_shared<SeededRandom>(13));
    LangRoot root(makeLangDataWordGenerator);
    for (const auto& lang : root.languages()) {
        ASSERT_NE(lang->generator(), nullptr);
        EXPECT_EQ(lang->generator()->letterGroups(), letterGroups(lang->type()));
    }
    LangData& de = root.getLang(Language::de);
    de.setDifficulty(1);
    de.setPunctuationOn(false);
    const std::string allowed = letterGroups(Language::de)[0] + letterGroups(Language::de)[1] + " ";
    for (int i = 0; i < 20; ++i) {
        const std::string line = de.generator()->generateText(100, 1, nullptr);
        ASSERT_FALSE(line.empty());
        for (const auto& c : text::characters(line)) {
            EXPECT_NE(allowed.find(c), std::string::npos) << line;
        }
    }
}

}  // namespace
}  // namespace wv
