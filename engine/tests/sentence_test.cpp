#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/WVSentence.h"
#include "engine/tests/Script.h"
#include "engine/tests/Words.h"
#include "languages/Graphemes.h"

namespace wv {
namespace {

using namespace wv::testing;
using Draws = std::vector<ScriptedRandom::Draw>;

// Fresh selectors: the first mark of a kind shuffles its cache (bounds 4, 3, 2 for the gap
// marks, 3, 2 for the endings); with all draws 0 the gap marks come out "-", ";", ":", ","
// and the endings "!", "?", ".".
const Draws kGapMarksInOrder{{0, 4}, {0, 3}, {0, 2}};
const Draws kEndingsInOrder{{0, 3}, {0, 2}};

Draws operator+(Draws a, const Draws& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(WVSentence, WordsAreSeparatedByPlainSpaces) {
    WVSentence s = sentence({});
    EXPECT_EQ(s.length(), 0);
    EXPECT_EQ(s.text(), "");
    s.addWord(word(4));
    EXPECT_TRUE(s.punctuations().empty());
    EXPECT_EQ(s.text(), "abcd");
    s.addWord(word(2));
    ASSERT_EQ(s.punctuations().size(), 1u);
    EXPECT_EQ(s.punctuations()[0]->value, " ");
    EXPECT_EQ(s.punctuations()[0]->length(), 1);
    EXPECT_EQ(s.text(), "abcd ab");
    EXPECT_EQ(s.length(), 7);
}

TEST(WVSentence, PunctuationPlacesGapMarksAndAnEnding) {
    const float nan = std::nanf("");
    // clang-format off
    struct Case {
        std::vector<int> words;
        float probability;
        Draws script;
        std::string text;
        bool spanish = false;
    } cases[] = {
        {{2, 3, 1}, 0, {}, "ab abc a"},
        {{2, 3, 1}, -1, {}, "ab abc a"},
        {{2, 3, 1}, nan, {}, "ab abc a"},
        {{2, 3, 1}, 1, Draws{{99, 100}} + kGapMarksInOrder + Draws{{0, 100}} + kEndingsInOrder,
         "ab-abc; a! "},
        {{2, 3, 1}, 7, Draws{{99, 100}} + kGapMarksInOrder + Draws{{0, 100}} + kEndingsInOrder,
         "ab-abc; a! "},
        {{2, 3, 1}, 0.5, Draws{{49, 100}} + kGapMarksInOrder + Draws{{50, 100}} + kEndingsInOrder,
         "ab-abc a! "},
        // A comma is followed by a space.
        {{2, 3}, 1, Draws{{0, 100}, {3, 4}, {1, 3}, {0, 2}} + kEndingsInOrder, "ab, abc! "},
        {{4}, 1, kEndingsInOrder, "abcd! "},
        {{}, 1, {}, ""},
        // The Spanish question opens with its inversion, counted in the length.
        {{3, 2}, 0.5, {{50, 100}, {0, 3}, {1, 2}}, "¿abc ab? ", true},
        {{3, 2}, 0.5, {{50, 100}, {1, 3}, {1, 2}}, "abc ab. ", true},
    };
    // clang-format on
    for (const auto& c : cases) {
        Script script(c.script);
        WVSentence s = sentence(c.words, c.spanish ? Selectors::spanish() : Selectors{});
        s.setPunctuation(c.probability);
        EXPECT_EQ(s.text(), c.text) << c.probability;
        EXPECT_EQ(s.length(), int(graphemeCount(c.text))) << c.text;
        EXPECT_EQ(s.punctuations().size(), c.words.empty() ? 0 : c.words.size() - 1);
        EXPECT_TRUE(script.used()) << c.text;
    }
}

TEST(WVSentence, RemoveWordTakesTheExcessOrLess) {
    // clang-format off
    struct Case {
        std::vector<int> words;
        float probability;  // 1: gap marks "-", ";", ":" and the ending "!"
        int excess;
        bool removed;
        std::vector<int> left;
        std::string gapsLeft;
    } cases[] = {
        {{3, 5, 4, 5}, 0, 6, true, {3, 4, 5}, "  "},  // exact: the first word of 6 - 1
        {{3, 5, 4, 5}, 0, 5, true, {3, 5, 5}, "  "},
        {{3, 6, 4, 6}, 0, 6, true, {3, 6, 6}, "  "},  // no 5: the longest shorter word
        {{3, 6, 2, 4}, 0, 6, true, {3, 6, 2}, "  "},
        {{5, 6}, 0, 5, false, {5, 6}, " "},             // every word is 4 or longer
        {{4}, 0, 9, false, {4}, ""},                    // no gap to take with it
        // With marks: the last gap mark (":", 2 characters) goes, not the word's neighbour.
        {{3, 5, 4, 5}, 1, 7, true, {3, 4, 5}, "-;"},
        {{3, 5, 4, 5}, 1, 5, true, {5, 4, 5}, "-;"},
    };
    // clang-format on
    for (const auto& c : cases) {
        Script script(c.probability > 0 ? Draws{{0, 100}} + kGapMarksInOrder +
                                              Draws{{0, 100}, {0, 100}} + kEndingsInOrder
                                        : Draws{});
        WVSentence s = sentence(c.words);
        s.setPunctuation(c.probability);
        const int before = s.length();
        EXPECT_EQ(s.removeWord(c.excess), c.removed) << c.excess;
        EXPECT_EQ(lengths(s), c.left) << c.excess;
        EXPECT_EQ(gaps(s), c.gapsLeft) << c.excess;
        EXPECT_LE(before - s.length(), c.excess);
    }
}

TEST(WVSentence, ShortenLongestWord) {
    // clang-format off
    struct Case {
        std::vector<int> words;
        std::vector<int> after;
    } cases[] = {
        {{3, 5, 4, 5}, {3, 4, 4, 5}},
        {{2}, {1}},
        {{1, 1}, {1, 1}},
        {{}, {}},
    };
    // clang-format on
    for (const auto& c : cases) {
        WVSentence s = sentence(c.words);
        s.shortenLongestWord();
        EXPECT_EQ(lengths(s), c.after);
    }
}

TEST(WVSentence, CapitalsAlwaysIncludeTheFirstWord) {
    // clang-format off
    struct Case {
        std::vector<int> words;
        std::vector<size_t> numbers;
        std::vector<size_t> capitalised;
        float probability;
        Draws script;
        std::vector<bool> capitals;
    } cases[] = {
        {{3, 3, 3}, {}, {}, 0, {}, {false, false, false}},
        {{3, 3, 3}, {}, {}, -2, {}, {false, false, false}},
        {{3, 3, 3}, {}, {}, 0.3f, {}, {true, false, false}},  // 0.9 wanted: none beyond the first
        {{3, 3, 3, 3, 3, 3}, {}, {}, 0.5f, {{2, 6}, {4, 6}, {5, 6}},
         {true, false, true, false, true, true}},
        // Drawing position 0 leaves one capital fewer than wanted.
        {{3, 3, 3, 3, 3, 3}, {}, {}, 0.5f, {{2, 6}, {2, 6}, {1, 5}, {0, 6}},
         {true, true, true, false, false, false}},
        // Numbers and words already capitalised are no candidates: {0, 2, 4, 5}.
        {{3, 3, 3, 3, 3, 3}, {1}, {3}, 0.5f, {{1, 4}, {3, 4}}, {true, false, true, true, false, true}},
        {{3, 3, 3}, {}, {1, 2}, 0.5f, {}, {true, true, true}},
        {{3, 3}, {}, {}, 5, {}, {true, true}},
        {{}, {}, {}, 1, {}, {}},
    };
    // clang-format on
    for (const auto& c : cases) {
        Script script(c.script);
        WVSentence s = sentence(c.words);
        for (size_t i : c.numbers) s.words()[i]->isNumber = true;
        for (size_t i : c.capitalised) s.words()[i]->isCapitalized = true;
        s.setCapitals(c.probability);
        EXPECT_EQ(capitals(s), c.capitals) << c.probability;
        EXPECT_TRUE(script.used());
    }
}

TEST(WVSentence, RendersCapitalsAfterTheInversionAndKeepsDigits) {
    {
        Script script({{50, 100}, {0, 3}, {1, 2}});
        WVSentence s = sentence({3, 2}, Selectors::spanish());
        s.setPunctuation(0.5f);
        s.setCapitals(0.3f);
        EXPECT_EQ(s.text(), "¿Abc ab? ");
        EXPECT_EQ(s.length(), 9);
    }
    {
        Script script({{5, 10}, {32, 90}});
        WVSentence s = sentence({2, 3});
        s.words()[0]->isNumber = true;
        s.setCapitals(0.3f);
        EXPECT_TRUE(s.words()[0]->isCapitalized);
        EXPECT_EQ(s.text(), "42 abc");
        EXPECT_TRUE(script.used());
    }
}

}  // namespace
}  // namespace wv
