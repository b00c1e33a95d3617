#include <gtest/gtest.h>

#include "languages/layouts/KeyMapIt.h"
#include "languages/tests/PrintedRows.h"

namespace wv {
namespace {

// The layers as printed.
// clang-format off
constexpr std::string_view qwerty = R"(
Row 1: < 1 2 3 4 5 6 7 8 9 0 ' ì
Row 2: q w e r t y u i o p è + ù
Row 3: a s d f g h j k l ò à
Row 4: ∅ z x c v b n m , . -
)";

constexpr std::string_view qwertyShift = R"(
Row 1: > ! dquote £ $ % & / ( ) = ? ^
Row 2: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ é * §
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ç °
Row 4: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ; : _
)";

constexpr std::string_view typew = R"(
Row 1: < & dquote ' ( ç è ) £ à é - =
Row 2: q z e r t y u i o p ì $ §
Row 3: a s d f g h j k l m ù
Row 4: ∅ w x c v b n , ; : ò
)";

constexpr std::string_view typewShift = R"(
Row 1: > 1 2 3 4 5 6 7 8 9 0 _ +
Row 2: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ^ * °
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ %
Row 4: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ? . / !
)";

// clang-format on

TEST(KeyMapIt, EveryLayoutTypesItsPrintedRows) {
    const printed::PrintedLayout layouts[] = {
        {"Italiano", qwerty, qwertyShift, "", 47, 21, 0},
        {"Typewriter", typew, typewShift, "", 47, 21, 0},
    };
    KeyMapIt map;
    EXPECT_EQ(map.lang(), Language::it);
    printed::expectLayoutsMatch(map, layouts);
}

TEST(KeyMapIt, LayoutsInTheirStoredOrder) {
    KeyMapIt map;
    EXPECT_EQ(map.layoutNames(), (std::vector<std::string>{"Italiano", "Typewriter"}));
    EXPECT_EQ(map.currentLayoutIndex(), 0);
    map.selectLayout(2);
    EXPECT_EQ(map.currentLayoutIndex(), 0);
}

struct Press {
    int key;
    bool shift, caps;
    const char* expected;
};

void expectPresses(const KeyMapIt& map, std::span<const Press> presses) {
    for (const Press& p : presses) {
        EXPECT_EQ(printed::codePointsOrNone(map.symbolForKeyCode(p.key, p.shift, p.caps, false)),
                  printed::codePoints(p.expected))
            << map.layoutData().name() << " key " << p.key;
    }
}

TEST(KeyMapIt, ItalianoExamples) {
    KeyMapIt map;
    const Press presses[] = {
        {33, false, false, "è"}, {33, true, false, "é"},      {33, false, true, "\u00C8"},
        {41, false, false, "ò"}, {41, true, false, "ç"},      {41, false, true, "\u00D2"},
        {39, false, false, "à"}, {39, true, false, "\u00B0"}, {42, false, false, "ù"},
        {42, true, false, "§"},  {24, false, false, "ì"},     {24, true, false, "^"},
        {20, true, false, "£"},
    };
    expectPresses(map, presses);
    EXPECT_EQ(map.keyCodeForSymbol("é"), 33);
    EXPECT_EQ(map.keyCodeForSymbol("ç"), 41);
    EXPECT_TRUE(map.isShiftSymbol("é", 33));
    EXPECT_EQ(map.keyCodeForSymbol("\u00C8"), std::nullopt);
    EXPECT_EQ(map.keyCodeForSymbol("è"), 33);
    EXPECT_EQ(map.fingerForKeyCode(*map.keyCodeForSymbol("m")), map.fingerForKeyCode(46));
}

TEST(KeyMapIt, TypewriterExamples) {
    KeyMapIt map;
    map.selectLayoutByName("Typewriter");
    const Press presses[] = {
        {18, false, false, "&"}, {18, true, false, "1"},  {23, false, false, "ç"},
        {22, false, false, "è"}, {25, false, false, "à"}, {29, false, false, "é"},
        {28, false, false, "£"}, {13, false, false, "z"}, {6, false, false, "w"},
        {41, false, false, "m"}, {46, false, false, ","}, {46, true, false, "?"},
        {43, false, false, ";"}, {43, true, false, "."},  {47, false, false, ":"},
        {47, true, false, "/"},  {44, false, false, "ò"}, {44, true, false, "!"},
        {33, false, false, "ì"}, {33, true, false, "^"},  {39, false, false, "ù"},
        {39, true, false, "%"},  {42, false, false, "§"}, {42, true, false, "\u00B0"},
    };
    expectPresses(map, presses);
    EXPECT_EQ(map.keyCodeForSymbol("1"), 18);
    EXPECT_TRUE(map.isShiftSymbol("1", 18));
    EXPECT_EQ(map.keyCodeForSymbol("è"), 22);
    EXPECT_EQ(map.keyCodeForSymbol("m"), 41);
}

TEST(KeyMapIt, Key10AndOptionOnBothLayouts) {
    KeyMapIt map;
    printed::expectNoIsoKeyAndNoOptionLayer(map);
}

}  // namespace
}  // namespace wv
