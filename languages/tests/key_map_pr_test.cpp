#include <gtest/gtest.h>

#include "languages/layouts/KeyMapPr.h"
#include "languages/tests/KeyPresses.h"
#include "languages/tests/PrintedRows.h"

namespace wv {
namespace {

using presses::DeadKey;
using presses::kCaps;
using presses::kOption;
using presses::kPlain;
using presses::kShift;
using presses::Press;

// The layers and dead-key pairs as printed.
// clang-format off
constexpr std::string_view brazil = R"(
Row 1: grave 1 2 3 4 5 6 7 8 9 0 - =
Row 2: q w e r t y u i o p [ ] \
Row 3: a s d f g h j k l ; '
Row 4: ∅ z x c v b n m , . /
)";

constexpr std::string_view brazilShift = R"(
Row 1: ~ ! @ # $ % ^ & * ( ) _ +
Row 2: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ { } bar
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ : dquote
Row 4: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ < > ?
)";

constexpr std::string_view brazilAlt = R"(
Row 1: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 2: ∅ ∅ ´ ∅ ∅ ∅ ∅ ˆ ∅ ∅ ∅ ∅ ∅
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 4: ∅ ∅ ∅ ç ∅ ∅ ∅ ∅ ∅ ∅ ∅
)";

constexpr std::string_view brazilianPairs = "á = ´ a; é = ´ e; í = ´ i; ó = ´ o; ú = ´ u; ã = ~ a; õ = ~ o; à = grave a; â = ˆ a; ê = ˆ e; ô = ˆ o";

constexpr std::string_view brazil2 = R"(
Row 1: ' 1 2 3 4 5 6 7 8 9 0 - =
Row 2: q w e r t y u i o p ´ [ ]
Row 3: a s d f g h j k l ç ~
Row 4: ∅ z x c v b n m , . ;
)";

constexpr std::string_view brazil2Shift = R"(
Row 1: dquote ! @ # $ % ¨ & * ( ) _ +
Row 2: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ grave { }
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ^
Row 4: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ < > :
)";

constexpr std::string_view brazil2Alt = R"(
Row 1: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 2: ∅ ? ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 4: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
)";

constexpr std::string_view portuguesePairs = "á = ´ a; é = ´ e; í = ´ i; ó = ´ o; ú = ´ u; ã = ~ a; õ = ~ o; à = grave a; â = ^ a; ê = ^ e; ô = ^ o";

constexpr std::string_view brazilPro = R"(
Row 1: grave 1 2 3 4 5 6 7 8 9 0 - =
Row 2: q w e r t y u i o p [ ] \
Row 3: a s d f g h j k l ; '
Row 4: ∅ z x c v b n m , . /
)";

constexpr std::string_view brazilProShift = R"(
Row 1: ˜ ! @ # $ % ˆ & * ( ) _ +
Row 2: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ { } bar
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ : dquote
Row 4: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ < > ?
)";

constexpr std::string_view brazilProAlt = R"(
Row 1: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 2: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 4: ∅ ∅ ∅ ç ∅ ∅ ∅ ∅ ∅ ∅ ∅
)";

constexpr std::string_view proPairs = "á = ' a; é = ' e; í = ' i; ó = ' o; ú = ' u; ã = ˜ a; õ = ˜ o; à = grave a; â = ˆ a; ê = ˆ e; ô = ˆ o";

constexpr std::string_view portug = R"(
Row 1: < 1 2 3 4 5 6 7 8 9 0 ' +
Row 2: q w e r t y u i o p º ´ \
Row 3: a s d f g h j k l ç ~
Row 4: ∅ z x c v b n m , . -
)";

constexpr std::string_view portugShift = R"(
Row 1: > ! dquote # $ % & / ( ) = ? *
Row 2: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ª grave bar
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ^
Row 4: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ; : _
)";

// clang-format on

TEST(KeyMapPr, EveryLayoutTypesItsPrintedRows) {
    const printed::PrintedLayout layouts[] = {
        {"Brazilian", brazil, brazilShift, brazilAlt, 47, 21, 3, brazilianPairs, 11},
        {"Brazilian - ABNT2", brazil2, brazil2Shift, brazil2Alt, 47, 20, 1, portuguesePairs, 11},
        {"Brazilian - Pro", brazilPro, brazilProShift, brazilProAlt, 47, 21, 1, proPairs, 11},
        {"Portuguese", portug, portugShift, "", 47, 20, 0, portuguesePairs, 11},
    };
    KeyMapPr map;
    EXPECT_EQ(map.lang(), Language::pr);
    printed::expectLayoutsMatch(map, layouts);
}

TEST(KeyMapPr, LayoutsInTheirStoredOrder) {
    KeyMapPr map;
    EXPECT_EQ(map.layoutNames(), (std::vector<std::string>{"Brazilian", "Brazilian - ABNT2",
                                                           "Brazilian - Pro", "Portuguese"}));
    EXPECT_EQ(map.currentLayoutIndex(), 0);
    map.selectLayout(4);
    EXPECT_EQ(map.currentLayoutIndex(), 0);
    map.selectLayoutByName("Portuguese");
    EXPECT_EQ(map.currentLayoutIndex(), 3);
}

TEST(KeyMapPr, BrazilianOptionLayerAndPlainCaret) {
    KeyMapPr map;
    const Press presses[] = {
        {14, kOption, "\u00B4"}, {14, kOption | kShift, "\u00B4"},
        {34, kOption, "\u02C6"}, {34, kOption | kShift, "\u02C6"},
        {8, kOption, "ç"},       {8, kOption | kShift, "ç"},
        {0, kOption, "a"},       {0, kOption | kShift, "A"},
        {22, kShift, "^"},       {50, kShift, "~"},
    };
    presses::expectPresses(map, presses);
    EXPECT_TRUE(map.isAltSymbol("ç", 8));
    EXPECT_FALSE(map.isAltSymbol("a", 0));
    EXPECT_EQ(map.keyCodeForSymbol("ç"), 8);
    EXPECT_EQ(map.keyCodeForSymbol("\u02C6"), 34);
    EXPECT_EQ(map.keyCodeForSymbol("^"), 22);
    EXPECT_EQ(map.keyCodeForSymbol("~"), 50);
    EXPECT_TRUE(map.isShiftSymbol("~", 50));
    // The ASCII caret is a plain character here: no pair starts with it.
    for (const char* letter : {"â", "ê", "ô"}) {
        EXPECT_FALSE(map.layoutData().combinator()->isFirstKey("^", letter)) << letter;
        EXPECT_TRUE(map.layoutData().combinator()->isFirstKey("\u02C6", letter)) << letter;
    }
}

TEST(KeyMapPr, Abnt2Examples) {
    KeyMapPr map;
    map.selectLayoutByName("Brazilian - ABNT2");
    const Press presses[] = {
        {41, kPlain, "ç"},  {41, kShift, "\u00C7"}, {41, kCaps, "\u00C7"}, {39, kPlain, "~"},
        {39, kShift, "^"},  {33, kPlain, "\u00B4"}, {33, kShift, "`"},     {50, kPlain, "'"},
        {50, kShift, "\""}, {22, kShift, "\u00A8"}, {13, kOption, "?"},    {13, kPlain, "w"},
    };
    presses::expectPresses(map, presses);
    EXPECT_EQ(map.keyCodeForSymbol("?"), 13);
    EXPECT_TRUE(map.isAltSymbol("?", 13));
    for (const char* absent : {"/", "\\", "|"}) {
        EXPECT_EQ(map.keyCodeForSymbol(absent), std::nullopt) << absent;
    }
}

TEST(KeyMapPr, ProExamples) {
    KeyMapPr map;
    map.selectLayoutByName("Brazilian - Pro");
    const Press presses[] = {
        {39, kPlain, "'"},
        {50, kShift, "\u02DC"},
        {22, kShift, "\u02C6"},
        {8, kOption, "ç"},
    };
    presses::expectPresses(map, presses);
    for (int key : kKeyRowsOrder) {
        if (key == 8) continue;
        for (unsigned shift : {kPlain, kShift}) {
            EXPECT_EQ(presses::type(map, key, kOption | shift), presses::type(map, key, shift))
                << "key " << key;
        }
    }
}

TEST(KeyMapPr, PortugueseExamples) {
    KeyMapPr map;
    map.selectLayoutByName("Portuguese");
    const Press presses[] = {
        {33, kPlain, "\u00BA"}, {33, kShift, "\u00AA"}, {30, kPlain, "\u00B4"}, {30, kShift, "`"},
        {42, kPlain, "\\"},     {42, kShift, "|"},      {24, kPlain, "+"},      {24, kShift, "*"},
        {27, kPlain, "'"},      {27, kShift, "?"},      {50, kPlain, "<"},      {50, kShift, ">"},
    };
    presses::expectPresses(map, presses);
    for (int key : kKeyRowsOrder) {
        for (unsigned other : {kPlain, kShift, kCaps}) {
            EXPECT_EQ(presses::type(map, key, kOption | other), presses::type(map, key, other))
                << "key " << key;
        }
    }
}

TEST(KeyMapPr, EveryPairIsTwoPressesOnItsDeadKey) {
    const DeadKey brazilian[] = {
        {"\u00B4", 14, kOption}, {"~", 50, kShift}, {"`", 50, kPlain}, {"\u02C6", 34, kOption}};
    const DeadKey abnt2[] = {
        {"\u00B4", 33, kPlain}, {"~", 39, kPlain}, {"`", 33, kShift}, {"^", 39, kShift}};
    const DeadKey pro[] = {
        {"'", 39, kPlain}, {"\u02DC", 50, kShift}, {"`", 50, kPlain}, {"\u02C6", 22, kShift}};
    const DeadKey portuguese[] = {
        {"\u00B4", 30, kPlain}, {"~", 39, kPlain}, {"`", 30, kShift}, {"^", 39, kShift}};
    const std::span<const DeadKey> perLayout[] = {brazilian, abnt2, pro, portuguese};
    KeyMapPr map;
    for (int i = 0; i < 4; ++i) {
        map.selectLayout(i);
        EXPECT_EQ(map.layoutData().combinator()->size(), 11u);
        presses::expectPairsTypeable(map, perLayout[i]);
    }
    map.selectLayoutByName("Portuguese");
    EXPECT_EQ(map.layoutData().combinator()->sequence("ã"), "~a");
    EXPECT_EQ(map.keyCodeForSymbol("~"), 39);
    map.selectLayoutByName("Brazilian - ABNT2");
    EXPECT_EQ(map.layoutData().combinator()->sequence("â"), "^a");
    EXPECT_TRUE(map.isShiftSymbol("^", 39));
    map.selectLayoutByName("Brazilian");
    EXPECT_EQ(map.layoutData().combinator()->sequence("â"), "\u02C6a");
    EXPECT_TRUE(map.isAltSymbol("\u02C6", 34));
}

TEST(KeyMapPr, AccentedVowelsOnlyAsLowerCasePairsAndCedillaDirect) {
    const char* const lower[] = {"á", "é", "í", "ó", "ú", "ã", "õ", "à", "â", "ê", "ô"};
    const char* const upper[] = {"\u00C1", "\u00C9", "\u00CD", "\u00D3", "\u00DA", "\u00C3",
                                 "\u00D5", "\u00C0", "\u00C2", "\u00CA", "\u00D4"};
    const Press cedilla[] = {
        {8, kOption, "ç"}, {41, kPlain, "ç"}, {8, kOption, "ç"}, {41, kPlain, "ç"}};
    KeyMapPr map;
    for (int i = 0; i < 4; ++i) {
        map.selectLayout(i);
        SCOPED_TRACE(map.layoutData().name());
        const KeyMapCombinator* combinator = map.layoutData().combinator();
        for (size_t v = 0; v < std::size(lower); ++v) {
            EXPECT_TRUE(combinator->contains(lower[v])) << lower[v];
            EXPECT_FALSE(combinator->contains(upper[v])) << upper[v];
            EXPECT_EQ(map.keyCodeForSymbol(lower[v]), std::nullopt) << lower[v];
            EXPECT_FALSE(presses::anyKeyTypes(map, lower[v])) << lower[v];
            EXPECT_FALSE(presses::anyKeyTypes(map, upper[v])) << upper[v];
        }
        EXPECT_FALSE(combinator->contains("ç"));
        presses::expectPresses(map, std::span(&cedilla[i], 1));
    }
}

TEST(KeyMapPr, KeyTenTypesNothingOnAnyLayout) {
    KeyMapPr map;
    for (int i = 0; i < 4; ++i) {
        map.selectLayout(i);
        for (unsigned modifiers : {kPlain, kShift, kOption, kOption | kShift}) {
            LogCapture log;
            EXPECT_EQ(map.symbolForKeyCode(10, modifiers & kShift, false, modifiers & kOption),
                      std::nullopt);
            EXPECT_EQ(log.lines().size(), 1u);
        }
    }
    LogCapture log;
    map.symbolForKeyCode(10, false, false, false);
    EXPECT_TRUE(
        log.contains("ACHTUNG: can't map symbol for code: 10, shiftOn: false, capsLockOn: false"));
}

TEST(KeyMapPr, DeadAcuteFingerFollowsItsKey) {
    const char* const acute[] = {"\u00B4", "\u00B4", "'", "\u00B4"};
    const int keys[] = {14, 33, 39, 30};
    const int zones[] = {2, 7, 7, 7};
    KeyMapPr map;
    for (int i = 0; i < 4; ++i) {
        map.selectLayout(i);
        EXPECT_EQ(map.layoutData().combinator()->sequence("á"), std::string(acute[i]) + "a");
        auto key = map.keyCodeForSymbol(acute[i]);
        EXPECT_EQ(key, keys[i]);
        EXPECT_EQ(map.fingerForKeyCode(*key), zones[i]);
    }
}

}  // namespace
}  // namespace wv
