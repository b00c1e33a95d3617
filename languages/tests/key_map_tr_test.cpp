#include <gtest/gtest.h>

#include "languages/layouts/KeyMapTr.h"
#include "languages/tests/KeyPresses.h"
#include "languages/tests/PrintedRows.h"

namespace wv {
namespace {

using presses::kCaps;
using presses::kOption;
using presses::kPlain;
using presses::kShift;
using presses::Press;

// The layers as printed.
// clang-format off
constexpr std::string_view f = R"(
Row 1: w 1 2 3 4 5 6 7 8 9 0 x q
Row 2: f g ğ ı o d r n h p ; > =
Row 3: u i e a ü t k m l y ş
Row 4: ∅ j ö v c ç z s b . ,
)";

constexpr std::string_view fShift = R"(
Row 1: ∅ ! * dquote ' ( / ) _ % : ∅ ∅
Row 2: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ $ < +
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 4: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ? -
)";

constexpr std::string_view q = R"(
Row 1: < 1 2 3 4 5 6 7 8 9 0 * -
Row 2: q w e r t y u ı o p ğ ü ,
Row 3: a s d f g h j k l ş i
Row 4: ∅ z x c v b n m ö ç .
)";

constexpr std::string_view qShift = R"(
Row 1: > ! ' ^ + % & / ( ) = ? _
Row 2: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ;
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 4: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ :
)";

// clang-format on

// The capitals of the letter keys: both kinds of i give the ASCII capital I.
// clang-format off
constexpr std::string_view fCapitals = R"(
Row 1: W ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ X Q
Row 2: F G Ğ I O D R N H P ∅ ∅ ∅
Row 3: U I E A Ü T K M L Y Ş
Row 4: ∅ J Ö V C Ç Z S B ∅ ∅
)";

constexpr std::string_view qCapitals = R"(
Row 1: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 2: Q W E R T Y U I O P Ğ Ü ∅
Row 3: A S D F G H J K L Ş I
Row 4: ∅ Z X C V B N M Ö Ç ∅
)";
// clang-format on

TEST(KeyMapTr, EveryLayoutTypesItsPrintedRows) {
    const printed::PrintedLayout layouts[] = {
        {"Turkish F", f, fShift, "", 47, 15, 0},
        {"Turkish Q", q, qShift, "", 47, 15, 0},
    };
    KeyMapTr map;
    EXPECT_EQ(map.lang(), Language::tr);
    printed::expectLayoutsMatch(map, layouts);
}

TEST(KeyMapTr, LayoutsInTheirStoredOrder) {
    KeyMapTr map;
    EXPECT_EQ(map.layoutNames(), (std::vector<std::string>{"Turkish F", "Turkish Q"}));
    EXPECT_EQ(map.currentLayoutIndex(), 0);
    map.selectLayout(2);
    EXPECT_EQ(map.currentLayoutIndex(), 0);
}

TEST(KeyMapTr, CapitalsFollowTheDefaultCaseMapping) {
    KeyMapTr map;
    presses::expectCapitals(map, fCapitals);
    const Press f[] = {{1, kShift, "I"}, {1, kCaps, "I"},   {15, kShift, "I"},
                       {15, kCaps, "I"}, {50, kShift, "W"}, {50, kCaps, "W"}};
    presses::expectPresses(map, f);
    EXPECT_FALSE(presses::anyKeyTypes(map, "\u0130"));
    map.selectLayoutByName("Turkish Q");
    presses::expectCapitals(map, qCapitals);
    const Press q[] = {{39, kShift, "I"}, {39, kCaps, "I"}, {34, kShift, "I"}, {34, kCaps, "I"}};
    presses::expectPresses(map, q);
    EXPECT_FALSE(presses::anyKeyTypes(map, "\u0130"));
}

TEST(KeyMapTr, FExamples) {
    KeyMapTr map;
    const Press presses[] = {
        {50, kPlain, "w"}, {19, kPlain, "2"}, {19, kShift, "*"}, {30, kPlain, ">"},
        {30, kShift, "<"}, {42, kPlain, "="}, {42, kShift, "+"}, {44, kPlain, ","},
        {44, kShift, "-"}, {27, kPlain, "x"}, {27, kShift, "X"}, {24, kShift, "Q"},
    };
    presses::expectPresses(map, presses);
}

TEST(KeyMapTr, QExamples) {
    KeyMapTr map;
    map.selectLayoutByName("Turkish Q");
    const Press presses[] = {
        {50, kPlain, "<"}, {50, kShift, ">"}, {27, kPlain, "*"}, {27, kShift, "?"},
        {42, kPlain, ","}, {42, kShift, ";"}, {44, kPlain, "."}, {44, kShift, ":"},
    };
    presses::expectPresses(map, presses);
}

TEST(KeyMapTr, TheTwoKindsOfIFollowTheLayout) {
    struct Case {
        int layout;
        const char* letter;
        int key;
        int finger;
    } const cases[] = {
        {0, "\u0131", 15, 3},
        {0, "i", 1, 1},
        {1, "\u0131", 34, 5},
        {1, "i", 39, 7},
    };
    KeyMapTr map;
    for (const Case& c : cases) {
        map.selectLayout(c.layout);
        auto key = map.keyCodeForSymbol(c.letter);
        EXPECT_EQ(key, c.key) << c.letter;
        EXPECT_EQ(map.fingerForKeyCode(key.value_or(-1)), c.finger) << c.letter;
    }
}

TEST(KeyMapTr, EverySymbolStandsOnOneKeyKeyTenAndOption) {
    KeyMapTr map;
    for (int i = 0; i < 2; ++i) {
        map.selectLayout(i);
        for (bool shift : {false, true}) {
            LogCapture log;
            EXPECT_EQ(map.symbolForKeyCode(10, shift, false, false), std::nullopt);
            EXPECT_EQ(log.lines().size(), 1u);
        }
        for (int key : kKeyRowsOrder) {
            for (const std::string& s : map.symbolsForKeyCode(key)) {
                EXPECT_EQ(map.keyCodeForSymbol(s), key) << printed::codePoints(s);
                EXPECT_FALSE(map.isAltSymbol(s, key));
            }
            for (unsigned other : {kPlain, kShift, kCaps}) {
                EXPECT_EQ(presses::type(map, key, kOption | other), presses::type(map, key, other));
            }
        }
    }
}

}  // namespace
}  // namespace wv
