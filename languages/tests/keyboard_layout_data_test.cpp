#include <gtest/gtest.h>

#include "languages/KeyboardLayoutData.h"
#include "languages/tests/PrintedRows.h"

namespace wv {
namespace {

constexpr std::string_view kBase = R"(
Row 1: < & é dquote ' ( - è _ ç à ) =
Row 2: a z e r t y u i o p ^ $ *
Row 3: q s d f g h j k l m ù
Row 4: ∅ w x c v b n , ; : !
)";
constexpr std::string_view kShift = R"(
Row 1: > 1 2 3 4 5 6 7 8 9 0 ° +
Row 2: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ¨ £ μ
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ %
Row 4: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ? . / §
key code 10: @
)";
constexpr std::string_view kPairs = R"(
- ê = ^e
- â = ^a
- è = grave e
- à = grave a
)";

TEST(KeyboardLayoutData, TablesFromPrintedRowsAndExtraKeys) {
    auto base = printed::parseLayer(kBase);
    auto shift = printed::parseLayer(kShift);
    ASSERT_EQ(shift.extra.size(), 1u);
    KeyEntry extra[] = {{10, "@"}, {300, "x"}, {-1, "y"}};
    auto shiftTable = std::make_shared<const KeyTable>(shift.rows(), extra);
    KeyboardLayoutData layout("AZERTY PC", std::make_shared<const KeyTable>(base.rows()),
                              shiftTable, nullptr);
    EXPECT_EQ(layout.name(), "AZERTY PC");
    EXPECT_EQ(layout.dic().count(), 47);
    EXPECT_EQ(layout.dicShift().count(), 22);
    EXPECT_EQ(layout.dicAlt(), nullptr);
    EXPECT_FALSE(layout.hasOptionLayer());
    EXPECT_EQ(layout.symbol(KeyLayer::Shift, 10), "@");
    EXPECT_EQ(layout.keyCodeForSymbol("@"), 10);
    EXPECT_EQ(layout.symbol(KeyLayer::Base, 49), " ");
    EXPECT_EQ(layout.dic().at(49), "");
    EXPECT_EQ(layout.symbolsForKeyCode(18), (std::vector<std::string>{"&", "1"}));
    EXPECT_EQ(layout.symbolsForKeyCode(10), (std::vector<std::string>{"@"}));
    EXPECT_TRUE(layout.symbolsForKeyCode(36).empty());
    EXPECT_EQ(layout.symbol(KeyLayer::Shift, 42), "\u03BC");  // Greek mu, not the micro sign
    EXPECT_EQ(layout.keyCodeForSymbol("\u00B5"), std::nullopt);
}

TEST(KeyboardLayoutData, TablesAreSharedNotCopied) {
    auto base = std::make_shared<const KeyTable>(printed::parseLayer(kBase).rows());
    auto shift = std::make_shared<const KeyTable>(printed::parseLayer(kShift).rows());
    KeyboardLayoutData one("one", base, shift, nullptr);
    KeyboardLayoutData two("two", base, shift, nullptr);
    EXPECT_EQ(&one.dic(), &two.dic());
    EXPECT_EQ(&one.dicShift(), &two.dicShift());
}

TEST(KeyboardLayoutData, KeepsOnlyTheDeadKeyPairsItCanType) {
    auto base = printed::parseLayer(kBase);
    auto shift = printed::parseLayer(kShift);
    auto pairs = printed::parsePairs(kPairs);
    auto views = pairs.views();
    ASSERT_EQ(views.size(), 4u);
    EXPECT_EQ(pairs.items[2].second, "`e");
    // This layout has "^" (key 33) but no grave accent anywhere.
    KeyboardLayoutData layout("AZERTY PC", base.rows(), shift.rows(), nullptr, views);
    ASSERT_NE(layout.combinator(), nullptr);
    EXPECT_EQ(layout.combinator()->size(), 2u);
    EXPECT_EQ(layout.combinator()->sequence("ê"), "^e");
    EXPECT_FALSE(layout.combinator()->contains("è"));

    auto withGrave = base;
    withGrave.keys[12] = "`";  // key 24 instead of "="
    KeyboardLayoutData graveLayout("G", withGrave.rows(), shift.rows(), nullptr, views);
    EXPECT_EQ(graveLayout.combinator()->size(), 4u);
    EXPECT_EQ(graveLayout.combinator()->sequence("à"), "`a");

    KeyboardLayoutData none("none", base.rows(), shift.rows());
    EXPECT_EQ(none.combinator(), nullptr);
}

TEST(KeyboardLayoutData, IsoTablesPutLessThanOnKey50) {
    auto base = printed::parseLayer(kBase);
    auto shift = printed::parseLayer(kShift);
    EXPECT_TRUE(KeyboardLayoutData("iso", base.rows(), shift.rows()).isIsoTable());
    auto ansi = base;
    ansi.keys[0] = "`";
    EXPECT_FALSE(KeyboardLayoutData("ansi", ansi.rows(), shift.rows()).isIsoTable());
}

TEST(KeyboardLayoutData, DecomposedTableEntriesAreStoredComposed) {
    auto base = printed::parseLayer(kBase);
    base.keys[2] = "e\u0301";
    KeyboardLayoutData layout("nfd", base.rows(), printed::parseLayer(kShift).rows());
    EXPECT_EQ(layout.symbol(KeyLayer::Base, 19), "\u00E9");
    EXPECT_EQ(layout.dic().uppercasedAt(19), "\u00C9");
    EXPECT_EQ(layout.keyCodeForSymbol("é"), 19);
}

TEST(PrintedRows, PairsOnOneLineWithAHeading) {
    auto pairs =
        printed::parsePairs("Dead-key pairs (Brazilian pairs): á = ´ a; ã = ~ a; à = grave a");
    ASSERT_EQ(pairs.items.size(), 3u);
    EXPECT_EQ(pairs.items[0], (std::pair<std::string, std::string>{"á", "\u00B4a"}));
    EXPECT_EQ(pairs.items[1], (std::pair<std::string, std::string>{"ã", "~a"}));
    EXPECT_EQ(pairs.items[2], (std::pair<std::string, std::string>{"à", "`a"}));
}

}  // namespace
}  // namespace wv
