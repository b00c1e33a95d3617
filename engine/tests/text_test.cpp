#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/WVText.h"
#include "engine/tests/Script.h"
#include "engine/tests/Words.h"
#include "languages/Graphemes.h"

namespace wv {
namespace {

using namespace wv::testing;
using Draws = std::vector<ScriptedRandom::Draw>;

WVText makeText(int sentences, const std::vector<int>& words, const Selectors& selectors = {}) {
    WVText text(sentences, selectors.normal, selectors.ending, alphabetWord);
    for (int l : words) text.addWord(l);
    return text;
}

std::vector<std::vector<int>> lengthsBySentence(const WVText& text) {
    std::vector<std::vector<int>> out;
    for (const auto& s : text.sentences()) out.push_back(lengths(s));
    return out;
}

std::vector<int> numberPositions(const WVText& text) {
    std::vector<int> out;
    const auto words = text.allWords();
    for (size_t i = 0; i < words.size(); ++i) {
        if (words[i]->isNumber) out.push_back(int(i));
    }
    return out;
}

TEST(WVText, WordsGoToTheShortestSentenceTheEarlierOfEqualOnes) {
    // clang-format off
    struct Case {
        int sentences;
        std::vector<int> words;
        std::vector<std::vector<int>> dealt;
    } cases[] = {
        {3, {4, 2, 3, 5, 1, 6}, {{4, 6}, {2, 5}, {3, 1}}},
        {2, {3, 3, 2}, {{3, 2}, {3}}},
        {1, {1, 2, 3}, {{1, 2, 3}}},
        {0, {1, 2, 3}, {}},
    };
    // clang-format on
    for (const auto& c : cases) {
        WVText text = makeText(c.sentences, c.words);
        EXPECT_EQ(lengthsBySentence(text), c.dealt);
    }
    std::vector<int> all;
    for (const auto& w : makeText(3, {4, 2, 3, 5, 1, 6}).allWords()) all.push_back(w->length);
    EXPECT_EQ(all, (std::vector<int>{4, 6, 2, 5, 3, 1}));
}

TEST(WVText, WithoutSentencesNothingIsKeptOrDrawn) {
    Script script({});
    WVText text = makeText(0, {3, 4});
    text.setPunctuation(1);
    text.makeNumbers(3);
    text.setCapitals(1);
    text.fitToLength(-5);
    EXPECT_EQ(text.length(), 0);
    EXPECT_EQ(text.text(), "");
}

TEST(WVText, LinesEndWithoutTheLastEndingsSpace) {
    // Fresh selectors with all draws 0 give the gap marks "-", ";", ... and the endings "!", "?".
    const Draws gapMarks{{0, 4}, {0, 3}, {0, 2}}, endings{{0, 3}, {0, 2}};
    // clang-format off
    struct Case {
        int sentences;
        std::vector<int> words;
        float punctuation;
        Draws script;
        std::string line;
    } cases[] = {
        {1, {2, 3, 1}, 0, {}, "ab abc a"},
        {2, {2, 3, 1, 4}, 0, {}, "ab aabc abcd"},
        {2, {2, 3, 1, 4}, 1,
         Draws{{0, 100}, gapMarks[0], gapMarks[1], gapMarks[2], endings[0], endings[1], {0, 100}},
         "ab-a! abc; abcd?"},
        {1, {3}, 1, endings, "abc!"},
    };
    // clang-format on
    for (const auto& c : cases) {
        Script script(c.script);
        WVText text = makeText(c.sentences, c.words);
        text.setPunctuation(c.punctuation);
        EXPECT_EQ(text.text(), c.line);
        EXPECT_EQ(text.length(), int(graphemeCount(c.line))) << c.line;
        EXPECT_TRUE(script.used()) << c.line;
    }
}

TEST(WVText, FitToLengthShortensOrRemovesInTheLongestSentence) {
    // clang-format off
    struct Case {
        int sentences;
        std::vector<int> words;
        int target;
        std::vector<std::vector<int>> fitted;
    } cases[] = {
        {1, {5, 7, 3, 6}, 24, {{5, 7, 3, 6}}},  // already there
        {1, {5, 7, 3, 6}, 30, {{5, 7, 3, 6}}},
        {1, {5, 7, 3, 6}, 18, {{4, 4, 3, 4}}},  // excess 6: one letter at a time
        {1, {5, 7, 3, 6}, 17, {{5, 7, 3}}},     // excess 7: the word of 7 - 1 letters
        {1, {5, 7, 3, 6}, 16, {{5, 3, 6}}},
        {1, {5, 7, 3, 6}, 14, {{4, 3, 5}}},     // no word of 9: the 7 goes, then letters
        {2, {5, 3, 7, 2}, 17, {{5, 2}, {3, 5}}},
        {2, {5, 3, 7, 2}, 11, {{5, 2}, {3}}},
    };
    // clang-format on
    for (const auto& c : cases) {
        WVText text = makeText(c.sentences, c.words);
        const int before = text.length();
        text.fitToLength(c.target);
        EXPECT_EQ(lengthsBySentence(text), c.fitted) << c.target;
        EXPECT_EQ(text.length(), std::min(before, c.target));
    }
}

TEST(WVText, FitToLengthCountsTheLineWithoutItsTrailingSpace) {
    // Gap marks "-", ";", ":" and the ending "!": 21 letters, 5 for the gaps, 2 for the ending,
    // less the trailing space.
    Script script({{0, 100}, {0, 4}, {0, 3}, {0, 2}, {0, 100}, {0, 100}, {0, 3}, {0, 2}});
    WVText text = makeText(1, {5, 7, 3, 6});
    text.setPunctuation(1);
    EXPECT_EQ(text.length(), 27);
    EXPECT_EQ(text.text(), "abcde-abcdefg; abc: abcdef!");
    // Excess 7 less the last gap mark (2): the word of 5 goes, and ":" with it.
    text.fitToLength(20);
    EXPECT_EQ(text.text(), "abcdefg-abc; abcdef!");
    EXPECT_EQ(text.length(), 20);
    EXPECT_TRUE(script.used());
}

TEST(WVText, FitToLengthStopsWhenNothingCanBeShortened) {
    // clang-format off
    struct Case {
        std::vector<int> words;
        int target;
        std::vector<std::vector<int>> left;
    } cases[] = {
        {{1, 1, 1}, 0, {{1, 1, 1}}},
        {{1, 1, 1, 1, 1, 1, 1, 1}, -100, {{1}}},
        {{9}, -3, {{1}}},
    };
    // clang-format on
    for (const auto& c : cases) {
        WVText text = makeText(1, c.words);
        text.fitToLength(c.target);
        EXPECT_EQ(lengthsBySentence(text), c.left) << c.target;
    }
}

TEST(WVText, NumbersSkipTheFirstWordCapitalsAndLongWords) {
    // clang-format off
    struct Case {
        int sentences;
        std::vector<int> words;
        std::vector<size_t> capitalised;
        int count;
        Draws script;
        std::vector<int> numbers;
    } cases[] = {
        {1, {3, 5, 2, 4, 1}, {3}, 5, {}, {2, 4}},  // only 2 and 4 qualify
        {1, {3, 5, 2, 4, 1}, {3}, 1, {{1, 2}}, {4}},
        {1, {3, 5, 2, 4, 1}, {}, 2, {{0, 3}, {2, 3}}, {2, 4}},
        {1, {3, 5, 2, 4, 1}, {}, 0, {}, {}},
        {1, {3, 5, 2, 4, 1}, {}, -2, {}, {}},
        {2, {4, 3}, {}, 1, {}, {1}},  // the first word of the second sentence may
    };
    // clang-format on
    for (const auto& c : cases) {
        Script script(c.script);
        WVText text = makeText(c.sentences, c.words);
        for (size_t i : c.capitalised) text.allWords()[i]->isCapitalized = true;
        text.makeNumbers(c.count);
        EXPECT_EQ(numberPositions(text), c.numbers) << c.count;
        EXPECT_TRUE(script.used());
    }
}

TEST(WVText, SpanishQuestionOpensWithItsInversionBeforeTheCapital) {
    Script script({{50, 100}, {0, 3}, {1, 2}, {1, 2}});
    WVText text = makeText(1, {3, 2}, Selectors::spanish());
    text.setPunctuation(0.5f);
    EXPECT_EQ(text.length(), 8);
    text.setCapitals(0.5f);
    EXPECT_EQ(text.text(), "¿Abc Ab?");
    EXPECT_TRUE(script.used());
}

TEST(WVText, EveryRenderingAsksTheWordSourceAgain) {
    int calls = 0;
    WVText text(1, makePunctuationSelector(PunctuationType::Normal),
                makePunctuationSelector(PunctuationType::Ending),
                [&calls](int n) { return std::string(size_t(n), char('a' + calls++ % 26)); });
    for (int l : {2, 3, 1}) text.addWord(l);
    const std::string first = text.text();
    const std::string second = text.text();
    EXPECT_EQ(first, "aa bbb c");
    EXPECT_EQ(second, "dd eee f");
}

// The steps of one line as the word generator takes them.
std::string buildLine(WVText& text, const std::vector<int>& lengths, int target, int numbers) {
    for (size_t i = 0; text.length() < target; ++i) text.addWord(lengths[i % lengths.size()]);
    text.fitToLength(target);
    const int n = int(text.allWords().size());
    text.setPunctuation(0.5f);
    text.fitToLength(target);
    text.makeNumbers(numbers);
    text.setCapitals(float(n / 3) / float(n));
    return text.text();
}

TEST(WVText, AStuckRandomSourceStillGivesAFittedLine) {
    for (uint32_t value : {0u, 1u, UINT32_MAX}) {
        ScopedRandomSource scope(std::make_shared<ConstantRandom>(value));
        for (int sentences = 1; sentences <= 3; ++sentences) {
            Selectors selectors = Selectors::spanish();
            WVText text(sentences, selectors.normal, selectors.ending, alphabetWord);
            const std::string line = buildLine(text, {3, 5, 7, 2}, 100, 5);
            EXPECT_EQ(text.length(), 100) << value << " " << line;
            EXPECT_EQ(graphemeCount(line), 100u) << line;
        }
    }
}

TEST(WVText, LinesCountExactlyTheTargetAfterFitting) {
    ScopedRandomSource scope(std::make_shared<SeededRandom>(99));
    for (int run = 0; run < 300; ++run) {
        Selectors selectors = run % 2 ? Selectors::spanish() : Selectors{};
        const int sentences = 1 + int(randomUniform(3));
        std::vector<int> lengths;
        for (int i = 0; i < 40; ++i) lengths.push_back(1 + int(randomUniform(10)));
        WVText text(sentences, selectors.normal, selectors.ending, alphabetWord);
        const std::string line = buildLine(text, lengths, 100, 3 + int(randomUniform(3)));
        ASSERT_EQ(text.length(), 100) << line;
        ASSERT_EQ(graphemeCount(line), 100u) << line;
        EXPECT_NE(line.back(), ' ');
    }
}

}  // namespace
}  // namespace wv
