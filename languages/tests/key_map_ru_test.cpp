#include <gtest/gtest.h>

#include "languages/layouts/KeyMapRu.h"
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
Row 1: grave 1 2 3 4 5 6 7 8 9 0 - =
Row 2: й ц у к е н г ш щ з х ъ ∅
Row 3: ф ы в а п р о л д ж э
Row 4: ∅ я ч с м и т ь б ю .
)";

constexpr std::string_view macShift = R"(
Row 1: ~ ! dquote № % : , . ; ( ) _ +
Row 2: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 4: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ?
)";

constexpr std::string_view win = R"(
Row 1: grave 1 2 3 4 5 6 7 8 9 0 - =
Row 2: й ц у к е н г ш щ з х ъ ∅
Row 3: ф ы в а п р о л д ж э
Row 4: ∅ я ч с м и т ь б ю .
)";

constexpr std::string_view winShift = R"(
Row 1: ~ ! dquote № ; % : ? * ( ) _ +
Row 2: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 4: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ,
)";

constexpr std::string_view macMach = R"(
Row 1: grave ! dquote № % : , . ; ( ) - =
Row 2: й ц у к е н г ш щ з х ъ ∅
Row 3: ф ы в а п р о л д ж э
Row 4: ∅ я ч с м и т ь б ю ё
)";

constexpr std::string_view macMachShift = R"(
Row 1: ~ 1 2 3 4 5 6 7 8 9 0 _ +
Row 2: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 4: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ?
)";

// clang-format on

// The capitals of the letter keys.
// clang-format off
constexpr std::string_view capitals = R"(
Row 1: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 2: Й Ц У К Е Н Г Ш Щ З Х Ъ ∅
Row 3: Ф Ы В А П Р О Л Д Ж Э
Row 4: ∅ Я Ч С М И Т Ь Б Ю ∅
)";

constexpr std::string_view typewriterCapitals = R"(
Row 1: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 2: Й Ц У К Е Н Г Ш Щ З Х Ъ ∅
Row 3: Ф Ы В А П Р О Л Д Ж Э
Row 4: ∅ Я Ч С М И Т Ь Б Ю Ё
)";
// clang-format on

TEST(KeyMapRu, EveryLayoutTypesItsPrintedRows) {
    const printed::PrintedLayout layouts[] = {
        {"ЙЦУКЕН Mac", mac, macShift, "", 46, 14, 0},
        {"ЙЦУКЕН Win", win, winShift, "", 46, 14, 0},
        {"Машинопись", macMach, macMachShift, "", 46, 14, 0},
    };
    KeyMapRu map;
    EXPECT_EQ(map.lang(), Language::ru);
    printed::expectLayoutsMatch(map, layouts);
}

TEST(KeyMapRu, LayoutsInTheirStoredOrder) {
    KeyMapRu map;
    EXPECT_EQ(map.layoutNames(),
              (std::vector<std::string>{"ЙЦУКЕН Mac", "ЙЦУКЕН Win", "Машинопись"}));
    EXPECT_EQ(map.currentLayoutIndex(), 0);
    map.selectLayout(3);
    EXPECT_EQ(map.currentLayoutIndex(), 0);
}

TEST(KeyMapRu, CapitalsWithShiftOrCapsLock) {
    KeyMapRu map;
    for (int i = 0; i < 3; ++i) {
        map.selectLayout(i);
        presses::expectCapitals(map, i == 2 ? typewriterCapitals : capitals);
        for (int digitKey : {18, 19, 29}) {
            EXPECT_EQ(presses::type(map, digitKey, kCaps), presses::type(map, digitKey, kPlain));
        }
    }
    const Press io[] = {
        {44, kPlain, "ё"}, {44, kCaps, "Ё"}, {44, kShift, "?"}, {44, kShift | kCaps, "?"}};
    presses::expectPresses(map, io);
}

TEST(KeyMapRu, MacExamples) {
    KeyMapRu map;
    const Press presses[] = {
        {12, kPlain, "й"}, {12, kShift, "Й"}, {12, kCaps, "Й"},
        {20, kShift, "№"}, {44, kPlain, "."}, {44, kShift, "?"},
    };
    presses::expectPresses(map, presses);
    // The Shift layer enters the inverse table after the base layer.
    EXPECT_EQ(map.keyCodeForSymbol("."), 26);
    EXPECT_TRUE(map.isShiftSymbol(".", 26));
    EXPECT_EQ(map.keyCodeForSymbol("Й"), std::nullopt);
    EXPECT_EQ(map.keyCodeForSymbol("й"), 12);
}

TEST(KeyMapRu, WinExamples) {
    KeyMapRu map;
    map.selectLayoutByName("ЙЦУКЕН Win");
    const Press presses[] = {
        {21, kShift, ";"}, {23, kShift, "%"}, {22, kShift, ":"}, {26, kShift, "?"},
        {28, kShift, "*"}, {44, kShift, ","}, {44, kPlain, "."},
    };
    presses::expectPresses(map, presses);
    EXPECT_EQ(map.keyCodeForSymbol("."), 44);
    EXPECT_EQ(map.keyCodeForSymbol(","), 44);
    EXPECT_EQ(map.keyCodeForSymbol("?"), 26);
}

TEST(KeyMapRu, TypewriterNumberRow) {
    KeyMapRu map;
    map.selectLayoutByName("Машинопись");
    const Press presses[] = {{18, kPlain, "!"}, {18, kShift, "1"}, {18, kCaps, "!"}};
    presses::expectPresses(map, presses);
    EXPECT_EQ(map.keyCodeForSymbol("1"), 18);
    EXPECT_TRUE(map.isShiftSymbol("1", 18));
}

TEST(KeyMapRu, UnmappedKeysAndOption) {
    KeyMapRu map;
    for (int i = 0; i < 3; ++i) {
        map.selectLayout(i);
        for (int key : {42, 10}) {
            for (bool shift : {false, true}) {
                LogCapture log;
                EXPECT_EQ(map.symbolForKeyCode(key, shift, false, false), std::nullopt);
                EXPECT_EQ(log.lines(),
                          (std::vector<std::string>{
                              "ACHTUNG: can't map symbol for code: " + std::to_string(key) +
                              ", shiftOn: " + (shift ? "true" : "false") + ", capsLockOn: false"}));
            }
        }
        for (int key : kKeyRowsOrder) {
            for (unsigned other : {kPlain, kShift, kCaps}) {
                EXPECT_EQ(presses::type(map, key, kOption | other), presses::type(map, key, other));
            }
            for (const std::string& s : map.symbolsForKeyCode(key)) {
                EXPECT_FALSE(map.isAltSymbol(s, key));
            }
        }
        EXPECT_EQ(map.fingerForKeyCode(44), 7);
    }
}

}  // namespace
}  // namespace wv
