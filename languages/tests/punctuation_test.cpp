#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "languages/Graphemes.h"
#include "languages/WVPunctuationSelector.h"
#include "platform/foundation/Random.h"

namespace wv {
namespace {

std::string values(const std::vector<std::shared_ptr<WVPunctuation>>& marks) {
    std::string out;
    for (const auto& m : marks) out += m->value;
    return out;
}

std::string draw(WVPunctuationSelector& selector, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += selector.nextRandom()->value;
    return out;
}

void makeSpanish(WVPunctuationSelector& ending) {
    ending.itemForValue("?")->inversion = "¿";
    ending.itemForValue("!")->inversion = "¡";
}

TEST(WVPunctuationSelector, TheTwoSetsInTheirOrderWithTheirSpacing) {
    auto normal = makePunctuationSelector(PunctuationType::Normal);
    auto ending = makePunctuationSelector(PunctuationType::Ending);
    EXPECT_EQ(values(normal->items()), ",:;-");
    EXPECT_EQ(values(ending->items()), ".?!");
    for (const auto& sel : {normal, ending}) {
        EXPECT_TRUE(sel->itemsRandomCache().empty());
        for (const auto& m : sel->items()) {
            EXPECT_EQ(m->inversion, "");
            EXPECT_EQ(m->spaceBefore, "");
            EXPECT_EQ(m->spaceAfter, m->value == "-" ? "" : " ") << m->value;
        }
    }
}

TEST(WVPunctuation, LengthCountsSpacingAndInversion) {
    struct Case {
        WVPunctuation mark;
        int length;
    } cases[] = {
        {{"", "-", "", ""}, 1},
        {{"", ".", "", " "}, 2},
        {{"¿", "?", "", " "}, 3},
        {{"", " ", "", ""}, 1},
        {{"", "", "", ""}, 0},
        {{"", "e\u0301", " ", " "}, 3},  // a letter with a combining accent is one character
    };
    for (const auto& c : cases) EXPECT_EQ(c.mark.length(), c.length) << c.mark.value;
}

TEST(WVPunctuationSelector, SymbolsAreValueThenInversion) {
    auto normal = makePunctuationSelector(PunctuationType::Normal);
    auto ending = makePunctuationSelector(PunctuationType::Ending);
    EXPECT_EQ(normal->symbols(), ",:;-");
    EXPECT_EQ(ending->symbols(), ".?!");
    makeSpanish(*ending);
    EXPECT_EQ(ending->symbols(), ".?¿!¡");
    EXPECT_EQ(graphemeCount(ending->symbols()), 5u);
}

TEST(WVPunctuationSelector, ItemForValueFindsTheSameObjectOrNone) {
    auto normal = makePunctuationSelector(PunctuationType::Normal);
    EXPECT_EQ(normal->itemForValue(";"), normal->items()[2]);
    EXPECT_EQ(normal->itemForValue("?"), nullptr);
    EXPECT_EQ(normal->itemForValue(""), nullptr);
}

TEST(WVPunctuationSelector, ScriptedShufflesGiveTheirOrderAndRefillOnlyWhenUsedUp) {
    struct Case {
        PunctuationType type;
        std::vector<ScriptedRandom::Draw> script;
        int requests;
        std::string handedOut;
    } cases[] = {
        // No exchange: the cache is the items' order, handed out from its end.
        {PunctuationType::Normal, {{0, 4}, {0, 3}, {0, 2}}, 4, "-;:,"},
        // 0<->3, 1<->2, 2 stays: "-;:," handed out back to front.
        {PunctuationType::Normal, {{3, 4}, {1, 3}, {0, 2}}, 4, ",:;-"},
        // A second cycle starts with a new shuffle on the fifth request.
        {PunctuationType::Normal, {{0, 4}, {0, 3}, {0, 2}, {1, 4}, {2, 3}, {1, 2}}, 5, "-;:,;"},
        {PunctuationType::Ending, {{2, 3}, {0, 2}}, 3, ".?!"},
        {PunctuationType::Ending, {{1, 3}, {1, 2}}, 3, ".!?"},
    };
    for (const auto& c : cases) {
        auto source = std::make_shared<ScriptedRandom>(c.script);
        ScopedRandomSource scope(source);
        auto selector = makePunctuationSelector(c.type);
        EXPECT_EQ(draw(*selector, c.requests), c.handedOut);
        EXPECT_EQ(source->remaining(), 0u);
    }
}

TEST(WVPunctuationSelector, EveryMarkOncePerCycleAndHandsOutItsOwnObjects) {
    ScopedRandomSource scope(std::make_shared<SeededRandom>(7));
    for (auto type : {PunctuationType::Normal, PunctuationType::Ending}) {
        auto selector = makePunctuationSelector(type);
        const size_t n = selector->items().size();
        for (int cycle = 0; cycle < 50; ++cycle) {
            std::set<WVPunctuation*> seen;
            for (size_t i = 0; i < n; ++i) {
                auto mark = selector->nextRandom();
                EXPECT_NE(std::find(selector->items().begin(), selector->items().end(), mark),
                          selector->items().end());
                seen.insert(mark.get());
            }
            EXPECT_EQ(seen.size(), n);
            EXPECT_TRUE(selector->itemsRandomCache().empty());
        }
    }
}

TEST(WVPunctuationSelector, ACycleCutShortCarriesOverWithoutNewDraws) {
    auto source =
        std::make_shared<ScriptedRandom>(std::vector<ScriptedRandom::Draw>{{0, 3}, {0, 2}});
    ScopedRandomSource scope(source);
    auto ending = makePunctuationSelector(PunctuationType::Ending);
    EXPECT_EQ(ending->nextRandom()->value, "!");
    EXPECT_EQ(values(ending->itemsRandomCache()), ".?");
    // A later line of the same language takes the rest of the cycle; the script would
    // throw on any further draw.
    EXPECT_EQ(draw(*ending, 2), "?.");
}

TEST(WVPunctuationSelector, WithoutMarksGivesAnEmptyMarkAndDrawsNothing) {
    ScopedRandomSource scope(std::make_shared<ScriptedRandom>(std::vector<ScriptedRandom::Draw>{}));
    WVPunctuationSelector empty({});
    auto mark = empty.nextRandom();
    ASSERT_NE(mark, nullptr);
    EXPECT_EQ(mark->length(), 0);
    EXPECT_EQ(empty.symbols(), "");
}

TEST(Graphemes, CountAndFirstCharacterFollowTheBreakRules) {
    struct Case {
        const char* text;
        size_t count;
        size_t firstSize;
    } cases[] = {
        {"", 0, 0},
        {"abc", 3, 1},
        {"\r\nx", 2, 2},
        {"¿", 1, 2},
        {"istanbul", 8, 1},
        {"привет", 6, 2},
        {"e\u0301te\u0301", 3, 3},
        {"a\u0308b", 2, 3},
        {"\U0001F468\u200D\U0001F469\u200D\U0001F467 x", 3, 18},
        {"ß", 1, 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(graphemeCount(c.text), c.count) << c.text;
        EXPECT_EQ(firstGraphemeSize(c.text), c.firstSize) << c.text;
    }
}

}  // namespace
}  // namespace wv
