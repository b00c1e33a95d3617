#include <gtest/gtest.h>

#include "languages/layouts/KeyMapDe.h"
#include "languages/tests/PrintedRows.h"

namespace wv {
namespace {

// The layers as printed.
// clang-format off
constexpr std::string_view qwertz = R"(
Row 1: < 1 2 3 4 5 6 7 8 9 0 ß ´
Row 2: q w e r t z u i o p ü + #
Row 3: a s d f g h j k l ö ä
Row 4: ∅ y x c v b n m , . -
)";

constexpr std::string_view qwertzShift = R"(
Row 1: > ! dquote # $ % & / ( ) = ? grave
Row 2: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ * '
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 4: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ; : _
)";

constexpr std::string_view qwertzSwiss = R"(
Row 1: < 1 2 3 4 5 6 7 8 9 0 ' ^
Row 2: q w e r t z u i o p ü ¨ $
Row 3: a s d f g h j k l ö ä
Row 4: ∅ y x c v b n m , . -
)";

constexpr std::string_view qwertzSwissShift = R"(
Row 1: > + dquote * ç % & / ( ) = ? grave
Row 2: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ! £
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 4: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ; : _
)";

constexpr std::string_view neo = R"(
Row 1: < 1 2 3 4 5 6 7 8 9 0 - =
Row 2: x v l c w k h g f q ß ´ ∅
Row 3: u i a e o s n r t d y
Row 4: ∅ ü ö ä p z b m , . j
)";

constexpr std::string_view neoShift = R"(
Row 1: ~ ° § ℓ » « $ € „ “ ” — ¸
Row 2: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ˜ ∅
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 4: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ – • ∅
)";

constexpr std::string_view neoAlt = R"(
Row 1: ∅ ¹ ² ³ › ‹ ¢ ¥ ‚ ‘ ’ ∅ ˚
Row 2: … _ [ ] ^ ! < > = & ſ / ∅
Row 3: \ / { } * ? ( ) - : @
Row 4: ∅ # $ bar ~ grave ˜ µ dquote ' ;
)";

// clang-format on

TEST(KeyMapDe, EveryLayoutTypesItsPrintedRows) {
    const printed::PrintedLayout layouts[] = {
        {"QWERTZ", qwertz, qwertzShift, "", 47, 18, 0},
        {"QWERTZ Swiss", qwertzSwiss, qwertzSwissShift, "", 47, 18, 0},
        {"XVLCWK Neo", neo, neoShift, neoAlt, 46, 16, 44},
    };
    KeyMapDe map;
    EXPECT_EQ(map.lang(), Language::de);
    printed::expectLayoutsMatch(map, layouts);
}

TEST(KeyMapDe, LayoutsInTheirStoredOrder) {
    KeyMapDe map;
    EXPECT_EQ(map.layoutNames(),
              (std::vector<std::string>{"QWERTZ", "QWERTZ Swiss", "XVLCWK Neo"}));
    EXPECT_EQ(map.currentLayoutIndex(), 0);
}

TEST(KeyMapDe, SharedTablesAreBuiltOnce) {
    EXPECT_EQ(KeyMapDe::neo().get(), KeyMapDe::neo().get());
    KeyMapDe one, two;
    one.selectLayout(2);
    two.selectLayout(2);
    EXPECT_EQ(one.layoutData().dicAlt(), KeyMapDe::neoAlt().get());
    EXPECT_EQ(&two.layoutData().dic(), KeyMapDe::neo().get());
    one.selectLayout(1);
    EXPECT_EQ(&one.layoutData().dic(), KeyMapDe::qwertzSwiss().get());
    EXPECT_EQ(&one.layoutData().dicShift(), KeyMapDe::qwertzSwissShift().get());
    EXPECT_EQ(&two.layoutData().dicShift(), KeyMapDe::neoShift().get());
}

TEST(KeyMapDe, QwertzExamples) {
    KeyMapDe map;
    EXPECT_EQ(map.symbolForKeyCode(20, true, false, false), "#");
    EXPECT_EQ(map.keyCodeForSymbol("#"), 20);
    EXPECT_TRUE(map.isShiftSymbol("#", 20));
    EXPECT_EQ(map.symbolForKeyCode(27, false, true, false), "ß");
    EXPECT_EQ(map.symbolForKeyCode(27, true, false, false), "?");
    EXPECT_NE(map.keyCodeForSymbol("§"), 20);
}

TEST(KeyMapDe, NeoExamples) {
    KeyMapDe map;
    map.selectLayoutByName("XVLCWK Neo");
    EXPECT_EQ(map.symbolForKeyCode(33, true, false, false), "ß");
    EXPECT_EQ(map.symbolForKeyCode(6, true, false, false), "\u00DC");
    EXPECT_EQ(map.symbolForKeyCode(30, true, false, false), "\u02DC");
    EXPECT_EQ(map.symbolForKeyCode(34, false, false, true), ">");
    EXPECT_EQ(map.symbolForKeyCode(41, false, false, true), ":");
    EXPECT_EQ(map.symbolForKeyCode(27, false, false, true), "-");
    EXPECT_EQ(map.symbolForKeyCode(27, true, false, true), "\u2014");
    const std::pair<const char*, int> altWins[] = {{"<", 32}, {"-", 37}, {"=", 31},
                                                   {"~", 9},  {"$", 7},  {"\u02DC", 45}};
    for (auto [symbol, key] : altWins) {
        EXPECT_EQ(map.keyCodeForSymbol(symbol), key) << symbol;
        EXPECT_TRUE(map.isAltSymbol(symbol, key)) << symbol;
    }
    auto slash = map.keyCodeForSymbol("/");
    EXPECT_TRUE(slash == 30 || slash == 1);
    LogCapture log;
    EXPECT_EQ(map.symbolForKeyCode(42, false, false, false), std::nullopt);
    EXPECT_EQ(map.symbolForKeyCode(42, true, false, true), std::nullopt);
    EXPECT_EQ(map.symbolForKeyCode(10, false, false, true), std::nullopt);
    EXPECT_EQ(log.lines().size(), 3u);
}

TEST(KeyMapDe, OptionChangesNothingOnQwertzAndSwiss) {
    KeyMapDe map;
    LogCapture quiet;
    for (int layout : {0, 1}) {
        map.selectLayout(layout);
        for (int code : kKeyRowsOrder) {
            for (bool shift : {false, true}) {
                EXPECT_EQ(map.symbolForKeyCode(code, shift, false, true),
                          map.symbolForKeyCode(code, shift, false, false));
            }
            for (const std::string& s : map.symbolsForKeyCode(code)) {
                EXPECT_FALSE(map.isAltSymbol(s, code));
            }
        }
    }
}

TEST(KeyMapDe, QwertzAndSwissDifferOnlyWhereTheySay) {
    KeyMapDe map;
    std::vector<int> baseDiff, shiftDiff;
    for (int code : kKeyRowsOrder) {
        map.selectLayout(0);
        auto b0 = std::string(map.layoutData().dic().at(code));
        auto s0 = std::string(map.layoutData().dicShift().at(code));
        map.selectLayout(1);
        if (b0 != map.layoutData().dic().at(code)) baseDiff.push_back(code);
        if (s0 != map.layoutData().dicShift().at(code)) shiftDiff.push_back(code);
    }
    std::sort(baseDiff.begin(), baseDiff.end());
    std::sort(shiftDiff.begin(), shiftDiff.end());
    EXPECT_EQ(baseDiff, (std::vector<int>{24, 27, 30, 42}));
    EXPECT_EQ(shiftDiff, (std::vector<int>{18, 20, 21, 30, 42}));
}

}  // namespace
}  // namespace wv
