#include <gtest/gtest.h>

#include "languages/layouts/KeyMapFr.h"
#include "languages/tests/PrintedRows.h"

namespace wv {
namespace {

// The layers and pairs as printed.
// clang-format off
constexpr std::string_view azerty = R"(
Row 1: < & é dquote ' ( § è ! ç à ) -
Row 2: a z e r t y u i o p ^ $ grave
Row 3: q s d f g h j k l m ù
Row 4: ∅ w x c v b n , ; : =
)";

constexpr std::string_view azertyShift = R"(
Row 1: > 1 2 3 4 5 6 7 8 9 0 ° _
Row 2: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ¨ * £
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ %
Row 4: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ? . / +
)";

constexpr std::string_view azertyPC = R"(
Row 1: < & é dquote ' ( - è _ ç à ) =
Row 2: a z e r t y u i o p ^ $ *
Row 3: q s d f g h j k l m ù
Row 4: ∅ w x c v b n , ; : !
)";

constexpr std::string_view azertyShiftPC = R"(
Row 1: > 1 2 3 4 5 6 7 8 9 0 ° +
Row 2: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ¨ £ μ
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ %
Row 4: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ? . / §
)";

constexpr std::string_view qwertyCA = R"(
Row 1: ù 1 2 3 4 5 6 7 8 9 0 - =
Row 2: q w e r t y u i o p ^ ç à
Row 3: a s d f g h j k l ; è
Row 4: ∅ z x c v b n m , . é
)";

constexpr std::string_view qwertyShiftCA = R"(
Row 1: ∅ ! @ # $ % ? & * ( ) _ +
Row 2: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ¨ ∅ ∅
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ : ∅
Row 4: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ' dquote ∅
)";

constexpr std::string_view qwertzSW = R"(
Row 1: < 1 2 3 4 5 6 7 8 9 0 ' ^
Row 2: q w e r t z u i o p ü ¨ $
Row 3: a s d f g h j k l é à
Row 4: ∅ y x c v b n m , . -
)";

constexpr std::string_view qwertzSWShift = R"(
Row 1: > + dquote * ç % & / ( ) = ? grave
Row 2: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ! £
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 4: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ; : _
)";

constexpr std::string_view bepo = R"(
Row 1: $ dquote « » ( ) @ + - / * = %
Row 2: b é p o è ^ v d l j z w ç
Row 3: a u i e , c t s r n m
Row 4: ∅ à y x . k ' q g h f
)";

constexpr std::string_view bepoShift = R"(
Row 1: # 1 2 3 4 5 6 7 8 9 0 ° grave
Row 2: ∅ ∅ ∅ ∅ ∅ ! ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 3: ∅ ∅ ∅ ∅ ; ∅ ∅ ∅ ∅ ∅ ∅
Row 4: ∅ ∅ ∅ ∅ : ∅ ? ∅ ∅ ∅ ∅
)";

constexpr std::string_view frenchDeadKeys = R"(
- ê = ^e
- â = ^a
- ô = ^o
- î = ^i
- û = ^u
- è = grave e
- à = grave a
- ò = grave o
- ì = grave i
- ù = grave u
)";
// clang-format on

TEST(KeyMapFr, EveryLayoutTypesItsPrintedRowsAndKeepsThePairsItCanType) {
    // "AZERTY PC" and "QWERTY Canada" have no grave accent on any key: only the five
    // circumflex pairs can be typed there.
    const printed::PrintedLayout layouts[] = {
        {"AZERTY", azerty, azertyShift, "", 47, 21, 0, frenchDeadKeys, 10},
        {"AZERTY PC", azertyPC, azertyShiftPC, "", 47, 21, 0, frenchDeadKeys, 5},
        {"QWERTY Canada", qwertyCA, qwertyShiftCA, "", 47, 16, 0, frenchDeadKeys, 5},
        {"QWERTZ Swiss", qwertzSW, qwertzSWShift, "", 47, 18, 0, frenchDeadKeys, 10},
        {"B\u00C9PO", bepo, bepoShift, "", 47, 17, 0, frenchDeadKeys, 10},
    };
    KeyMapFr map;
    EXPECT_EQ(map.lang(), Language::fr);
    printed::expectLayoutsMatch(map, layouts);
}

TEST(KeyMapFr, LayoutsInTheirStoredOrder) {
    KeyMapFr map;
    EXPECT_EQ(map.layoutNames(), (std::vector<std::string>{"AZERTY", "AZERTY PC", "QWERTY Canada",
                                                           "QWERTZ Swiss", "B\u00C9PO"}));
    EXPECT_EQ(map.currentLayoutIndex(), 0);
    map.selectLayoutByName("BE\u0301PO");  // a name is matched as it is written
    EXPECT_EQ(map.currentLayoutIndex(), 0);
}

TEST(KeyMapFr, DeadKeyPairs) {
    KeyMapFr map;
    const KeyMapCombinator* c = map.layoutData().combinator();
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->sequence("ê"), "^e");
    EXPECT_FALSE(c->contains("Ê"));
    EXPECT_TRUE(c->isFirstKey("^", "ê"));
    EXPECT_TRUE(c->isSecondKey("e", "ê"));
    EXPECT_EQ(c->sequence("è"), "`e");
    map.selectLayoutByName("AZERTY PC");
    c = map.layoutData().combinator();
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->sequence("ê"), "^e");
    EXPECT_FALSE(c->contains("è"));
    EXPECT_FALSE(c->isFirstKey("`", "è"));
}

TEST(KeyMapFr, WhereTheDeadKeysSit) {
    KeyMapFr map;
    struct Case {
        const char* layout;
        int circumflexKey;
        bool circumflexShift;
        std::optional<int> graveKey;
        bool graveShift;
    } cases[] = {
        {"AZERTY", 33, false, 42, false},
        {"QWERTZ Swiss", 24, false, 24, true},
        {"B\u00C9PO", 16, false, 24, true},
        {"AZERTY PC", 33, false, std::nullopt, false},
        {"QWERTY Canada", 33, false, std::nullopt, false},
    };
    for (const Case& c : cases) {
        map.selectLayoutByName(c.layout);
        ASSERT_EQ(map.layoutData().name(), c.layout);
        EXPECT_EQ(map.keyCodeForSymbol("^"), c.circumflexKey) << c.layout;
        EXPECT_EQ(map.symbolForKeyCode(c.circumflexKey, c.circumflexShift, false, false), "^");
        EXPECT_EQ(map.keyCodeForSymbol("`"), c.graveKey) << c.layout;
        if (c.graveKey) {
            EXPECT_EQ(map.symbolForKeyCode(*c.graveKey, c.graveShift, false, false), "`");
        }
    }
}

TEST(KeyMapFr, ExamplesOfTheLayouts) {
    KeyMapFr map;
    EXPECT_EQ(map.symbolForKeyCode(18, true, false, false), "1");
    EXPECT_TRUE(map.isShiftSymbol("1", 18));
    EXPECT_EQ(map.symbolForKeyCode(18, false, false, false), "&");
    EXPECT_EQ(map.symbolForKeyCode(19, false, true, false), "\u00C9");
    EXPECT_EQ(map.symbolForKeyCode(22, false, false, false), "§");
    EXPECT_EQ(map.keyCodeForSymbol("§"), 22);

    map.selectLayoutByName("B\u00C9PO");
    EXPECT_EQ(map.symbolForKeyCode(13, true, false, false), "\u00C9");
    EXPECT_EQ(map.symbolForKeyCode(16, true, false, false), "!");

    map.selectLayoutByName("QWERTY Canada");
    EXPECT_EQ(map.symbolForKeyCode(50, false, false, false), "ù");
    EXPECT_EQ(map.symbolForKeyCode(50, true, false, false), "\u00D9");
    EXPECT_EQ(map.symbolForKeyCode(22, true, false, false), "?");

    map.selectLayoutByName("QWERTZ Swiss");
    EXPECT_EQ(map.symbolForKeyCode(41, true, false, false), "\u00C9");
    EXPECT_EQ(map.symbolForKeyCode(39, true, false, false), "\u00C0");
    EXPECT_EQ(map.symbolForKeyCode(33, true, false, false), "\u00DC");

    map.selectLayoutByName("AZERTY PC");
    EXPECT_EQ(map.symbolForKeyCode(44, false, false, false), "!");
    EXPECT_EQ(map.symbolForKeyCode(44, true, false, false), "§");
    EXPECT_EQ(map.keyCodeForSymbol("§"), 44);
    EXPECT_EQ(map.symbolForKeyCode(42, true, false, false), "\u03BC");
}

TEST(KeyMapFr, NoSymbolOnTwoKeysAndOptionChangesNothing) {
    KeyMapFr map;
    LogCapture quiet;
    for (int layout = 0; layout < 5; ++layout) {
        map.selectLayout(layout);
        std::vector<std::string> all;
        for (int code : kKeyRowsOrder) {
            for (bool shift : {false, true}) {
                EXPECT_EQ(map.symbolForKeyCode(code, shift, false, true),
                          map.symbolForKeyCode(code, shift, false, false));
            }
            for (const std::string& s : map.symbolsForKeyCode(code)) {
                EXPECT_FALSE(map.isAltSymbol(s, code));
                EXPECT_EQ(map.keyCodeForSymbol(s), code) << s;
                all.push_back(s);
            }
        }
        std::sort(all.begin(), all.end());
        EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end()) << map.layoutData().name();
    }
}

}  // namespace
}  // namespace wv
