#include <gtest/gtest.h>

#include "languages/layouts/KeyMapEs.h"
#include "languages/tests/PrintedRows.h"

namespace wv {
namespace {

// The layers as printed.
// clang-format off
constexpr std::string_view qwerty = R"(
Row 1: < 1 2 3 4 5 6 7 8 9 0 - =
Row 2: q w e r t y u i o p ´ grave '
Row 3: a s d f g h j k l ñ ;
Row 4: ∅ z x c v b n m , . ç
)";

constexpr std::string_view qwertyShift = R"(
Row 1: > ¡ ! # $ % / & * ( ) _ +
Row 2: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ º ¨ dquote
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ :
Row 4: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ¿ ? ∅
)";

constexpr std::string_view qwertyISO = R"(
Row 1: < 1 2 3 4 5 6 7 8 9 0 ' ¡
Row 2: q w e r t y u i o p grave + ç
Row 3: a s d f g h j k l ñ ´
Row 4: ∅ z x c v b n m , . -
)";

constexpr std::string_view qwertyShiftISO = R"(
Row 1: > ! dquote · $ % & / ( ) = ? ¿
Row 2: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ^ * ∅
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ¨
Row 4: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ; : _
)";

// clang-format on

TEST(KeyMapEs, EveryLayoutTypesItsPrintedRows) {
    const printed::PrintedLayout layouts[] = {
        {"QWERTY", qwerty, qwertyShift, "", 47, 19, 0},
        {"QWERTY ISO", qwertyISO, qwertyShiftISO, "", 47, 19, 0},
    };
    KeyMapEs map;
    EXPECT_EQ(map.lang(), Language::es);
    printed::expectLayoutsMatch(map, layouts);
}

TEST(KeyMapEs, LayoutsInTheirStoredOrder) {
    KeyMapEs map;
    EXPECT_EQ(map.layoutNames(), (std::vector<std::string>{"QWERTY", "QWERTY ISO"}));
    EXPECT_EQ(map.currentLayoutIndex(), 0);
    map.selectLayout(2);
    EXPECT_EQ(map.currentLayoutIndex(), 0);
}

struct Press {
    int key;
    bool shift, caps;
    const char* expected;
};

TEST(KeyMapEs, QwertyExamples) {
    KeyMapEs map;
    const Press presses[] = {
        {41, false, false, "ñ"},      {41, true, false, "\u00D1"}, {41, false, true, "\u00D1"},
        {44, false, false, "ç"},      {44, true, false, "\u00C7"}, {43, true, false, "¿"},
        {47, true, false, "?"},       {18, true, false, "¡"},      {19, true, false, "!"},
        {33, false, false, "\u00B4"}, {33, true, false, "\u00BA"}, {42, false, false, "'"},
    };
    for (const Press& p : presses) {
        EXPECT_EQ(printed::codePointsOrNone(map.symbolForKeyCode(p.key, p.shift, p.caps, false)),
                  printed::codePoints(p.expected))
            << p.key;
    }
    EXPECT_EQ(map.keyCodeForSymbol("¿"), 43);
    EXPECT_EQ(map.keyCodeForSymbol("¡"), 18);
    EXPECT_TRUE(map.isShiftSymbol("¿", 43));
    EXPECT_EQ(map.keyCodeForSymbol("\u00D1"), std::nullopt);
    EXPECT_EQ(map.keyCodeForSymbol("ñ"), 41);
    EXPECT_EQ(map.keyCodeForSymbol("á"), std::nullopt);
    EXPECT_EQ(map.layoutData().combinator(), nullptr);
}

TEST(KeyMapEs, QwertyIsoExamples) {
    KeyMapEs map;
    map.selectLayoutByName("QWERTY ISO");
    const Press presses[] = {
        {24, false, false, "¡"},      {24, true, false, "¿"},      {27, false, false, "'"},
        {27, true, false, "?"},       {20, true, false, "\u00B7"}, {42, false, false, "ç"},
        {39, false, false, "\u00B4"}, {39, true, false, "\u00A8"}, {33, false, false, "`"},
        {33, true, false, "^"},
    };
    for (const Press& p : presses) {
        EXPECT_EQ(printed::codePointsOrNone(map.symbolForKeyCode(p.key, p.shift, p.caps, false)),
                  printed::codePoints(p.expected))
            << p.key;
    }
    EXPECT_EQ(map.keyCodeForSymbol("¿"), 24);
    EXPECT_EQ(map.keyCodeForSymbol("¡"), 24);
    EXPECT_FALSE(map.isShiftSymbol("¡", 24));
    EXPECT_EQ(map.keyCodeForSymbol("ñ"), 41);
    EXPECT_EQ(map.keyCodeForSymbol("'"), 27);
}

TEST(KeyMapEs, Key10AndOptionOnBothLayouts) {
    KeyMapEs map;
    printed::expectNoIsoKeyAndNoOptionLayer(map);
}

}  // namespace
}  // namespace wv
