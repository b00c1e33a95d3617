#include <gtest/gtest.h>

#include "languages/layouts/KeyMapUk.h"
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
constexpr std::string_view mac = R"(
Row 1: ’ 1 2 3 4 5 6 7 8 9 0 - =
Row 2: й ц у к е н г ш щ з х ї ґ
Row 3: ф и в а п р о л д ж є
Row 4: ∅ я ч с м і т ь б ю .
)";

constexpr std::string_view macShift = R"(
Row 1: ~ ! dquote № % : , . ; ( ) _ +
Row 2: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 4: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ?
)";

constexpr std::string_view win = R"(
Row 1: ’ 1 2 3 4 5 6 7 8 9 0 - =
Row 2: й ц у к е н г ш щ з х ї ґ
Row 3: ф і в а п р о л д ж є
Row 4: ∅ я ч с м и т ь б ю .
)";

constexpr std::string_view winShift = R"(
Row 1: ~ ! dquote № ; % : ? * ( ) _ +
Row 2: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 4: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ,
)";

// clang-format on

// The capitals of the letter keys ("І" is U+0406, the Cyrillic capital).
// clang-format off
constexpr std::string_view macCapitals = R"(
Row 1: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 2: Й Ц У К Е Н Г Ш Щ З Х Ї Ґ
Row 3: Ф И В А П Р О Л Д Ж Є
Row 4: ∅ Я Ч С М І Т Ь Б Ю ∅
)";

constexpr std::string_view winCapitals = R"(
Row 1: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 2: Й Ц У К Е Н Г Ш Щ З Х Ї Ґ
Row 3: Ф І В А П Р О Л Д Ж Є
Row 4: ∅ Я Ч С М И Т Ь Б Ю ∅
)";
// clang-format on

TEST(KeyMapUk, EveryLayoutTypesItsPrintedRows) {
    const printed::PrintedLayout layouts[] = {
        {"ЙЦУКЕН Mac", mac, macShift, "", 47, 14, 0},
        {"ЙЦУКЕН Win", win, winShift, "", 47, 14, 0},
    };
    KeyMapUk map;
    EXPECT_EQ(map.lang(), Language::ua);
    printed::expectLayoutsMatch(map, layouts);
}

TEST(KeyMapUk, LayoutsInTheirStoredOrder) {
    KeyMapUk map;
    EXPECT_EQ(map.layoutNames(), (std::vector<std::string>{"ЙЦУКЕН Mac", "ЙЦУКЕН Win"}));
    EXPECT_EQ(map.currentLayoutIndex(), 0);
    map.selectLayout(2);
    EXPECT_EQ(map.currentLayoutIndex(), 0);
}

TEST(KeyMapUk, CapitalsWithShiftOrCapsLock) {
    KeyMapUk map;
    presses::expectCapitals(map, macCapitals);
    const Press presses[] = {
        {42, kPlain, "\u0491"}, {42, kShift, "\u0490"}, {42, kCaps, "\u0490"},
        {30, kPlain, "\u0457"}, {30, kShift, "\u0407"}, {30, kCaps, "\u0407"},
        {39, kPlain, "\u0454"}, {39, kShift, "\u0404"}, {39, kCaps, "\u0404"},
        {11, kCaps, "\u0406"},  {1, kCaps, "\u0418"},
    };
    presses::expectPresses(map, presses);
    map.selectLayout(1);
    presses::expectCapitals(map, winCapitals);
    const Press win[] = {{1, kShift, "\u0406"}, {11, kShift, "\u0418"}};
    presses::expectPresses(map, win);
}

TEST(KeyMapUk, TheTwoKindsOfIChangeKeysAndFingers) {
    KeyMapUk map;
    EXPECT_EQ(map.keyCodeForSymbol("\u0456"), 11);
    EXPECT_EQ(map.keyCodeForSymbol("\u0438"), 1);
    EXPECT_EQ(map.fingerForKeyCode(*map.keyCodeForSymbol("\u0456")), 3);
    EXPECT_EQ(map.keyCodeForSymbol("i"), std::nullopt);  // the Latin letter
    map.selectLayoutByName("ЙЦУКЕН Win");
    EXPECT_EQ(map.keyCodeForSymbol("\u0456"), 1);
    EXPECT_EQ(map.keyCodeForSymbol("\u0438"), 11);
    EXPECT_EQ(map.fingerForKeyCode(*map.keyCodeForSymbol("\u0456")), 1);
}

TEST(KeyMapUk, ApostropheKeyTypesTheRightQuotationMark) {
    KeyMapUk map;
    for (int i = 0; i < 2; ++i) {
        map.selectLayout(i);
        const Press presses[] = {{50, kPlain, "\u2019"}, {50, kShift, "~"}, {50, kCaps, "\u2019"}};
        presses::expectPresses(map, presses);
        EXPECT_EQ(map.keyCodeForSymbol("\u2019"), 50);
        EXPECT_EQ(map.keyCodeForSymbol("'"), std::nullopt);
    }
}

TEST(KeyMapUk, MacAndWinPunctuation) {
    KeyMapUk map;
    const Press mac[] = {{44, kPlain, "."}, {44, kShift, "?"}, {20, kShift, "\u2116"}};
    presses::expectPresses(map, mac);
    EXPECT_EQ(map.keyCodeForSymbol("."), 26);
    EXPECT_TRUE(map.isShiftSymbol(".", 26));

    map.selectLayoutByName("ЙЦУКЕН Win");
    const Press win[] = {
        {21, kShift, ";"}, {23, kShift, "%"}, {22, kShift, ":"}, {26, kShift, "?"},
        {28, kShift, "*"}, {44, kShift, ","}, {44, kPlain, "."},
    };
    presses::expectPresses(map, win);
    EXPECT_EQ(map.keyCodeForSymbol("."), 44);
    EXPECT_EQ(map.keyCodeForSymbol(","), 44);
}

TEST(KeyMapUk, KeyTenAndOption) {
    KeyMapUk map;
    for (int i = 0; i < 2; ++i) {
        map.selectLayout(i);
        for (bool shift : {false, true}) {
            LogCapture log;
            EXPECT_EQ(map.symbolForKeyCode(10, shift, false, false), std::nullopt);
            EXPECT_EQ(log.lines().size(), 1u);
        }
        for (int key : kKeyRowsOrder) {
            for (unsigned other : {kPlain, kShift, kCaps}) {
                EXPECT_EQ(presses::type(map, key, kOption | other), presses::type(map, key, other));
            }
            for (const std::string& s : map.symbolsForKeyCode(key)) {
                EXPECT_FALSE(map.isAltSymbol(s, key));
            }
        }
    }
}

}  // namespace
}  // namespace wv
