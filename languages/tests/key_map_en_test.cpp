#include <gtest/gtest.h>

#include "languages/layouts/KeyMapDe.h"
#include "languages/layouts/KeyMapEn.h"
#include "languages/tests/PrintedRows.h"

namespace wv {
namespace {

// The layers as printed; "QWERTZ Swiss" and "XVLCWK Neo" are checked with the German ones.
// clang-format off
constexpr std::string_view qwerty = R"(
Row 1: grave 1 2 3 4 5 6 7 8 9 0 - =
Row 2: q w e r t y u i o p [ ] \
Row 3: a s d f g h j k l ; '
Row 4: ∅ z x c v b n m , . /
)";

constexpr std::string_view qwertyShift = R"(
Row 1: ~ ! @ # $ % ^ & * ( ) _ +
Row 2: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ { } bar
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ : dquote
Row 4: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ < > ?
)";

constexpr std::string_view dvorak = R"(
Row 1: grave 1 2 3 4 5 6 7 8 9 0 [ ]
Row 2: ' , . p y f g c r l / = \
Row 3: a o e u i d h t n s -
Row 4: ∅ ; q j k x b m w v z
)";

constexpr std::string_view drorakShift = R"(
Row 1: ~ ! @ # $ % ^ & * ( ) { }
Row 2: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ? + bar
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ _
Row 4: ∅ : ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
)";

constexpr std::string_view colemak = R"(
Row 1: grave 1 2 3 4 5 6 7 8 9 0 - =
Row 2: q w f p g j l u y ; [ ] \
Row 3: a r s t d h n e i o '
Row 4: ∅ z x c v b k m , . /
)";

constexpr std::string_view colemakShift = R"(
Row 1: ~ ! @ # $ % ^ & * ( ) _ +
Row 2: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ : { } bar
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ dquote
Row 4: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ < > ?
)";

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

constexpr std::string_view qgmlwy = R"(
Row 1: grave 1 2 3 4 5 6 7 8 9 0 - =
Row 2: q g m l w y f u b ; [ ] \
Row 3: d s t n r i a e o h '
Row 4: ∅ z x c v j k p , . /
)";

constexpr std::string_view qgmlwyShift = R"(
Row 1: ~ ! @ # $ % ^ & * ( ) _ +
Row 2: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ : { } bar
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ dquote
Row 4: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ < > ?
)";

// clang-format on

TEST(KeyMapEn, EveryLayoutTypesItsPrintedRows) {
    const printed::PrintedLayout own[] = {
        {"QWERTY", qwerty, qwertyShift, "", 47, 21, 0},
        {"DVORAK", dvorak, drorakShift, "", 47, 18, 0},
        {"COLEMAK", colemak, colemakShift, "", 47, 21, 0},
        {"AZERTY", azerty, azertyShift, "", 47, 21, 0},
        {"QWERTZ", qwertz, qwertzShift, "", 47, 18, 0},
    };
    KeyMapEn map;
    EXPECT_EQ(map.lang(), Language::en);
    for (int i = 0; i < 5; ++i) {
        map.selectLayout(i);
        SCOPED_TRACE(std::string(own[i].name));
        EXPECT_EQ(map.layoutData().name(), own[i].name);
        auto base = printed::parseLayer(own[i].base), shift = printed::parseLayer(own[i].shift);
        EXPECT_EQ(base.count(), own[i].baseCount);
        EXPECT_EQ(shift.count(), own[i].shiftCount);
        printed::expectCurrentLayoutMatches(map, base, shift);
        EXPECT_EQ(map.layoutData().combinator(), nullptr);
    }
    map.selectLayout(6);
    auto base = printed::parseLayer(qgmlwy), shift = printed::parseLayer(qgmlwyShift);
    EXPECT_EQ(map.layoutData().name(), "QGMLWY");
    EXPECT_EQ(base.count(), 47);
    EXPECT_EQ(shift.count(), 21);
    printed::expectCurrentLayoutMatches(map, base, shift);
}

TEST(KeyMapEn, LayoutsInTheirStoredOrder) {
    KeyMapEn map;
    EXPECT_EQ(map.layoutNames(),
              (std::vector<std::string>{"QWERTY", "DVORAK", "COLEMAK", "AZERTY", "QWERTZ",
                                        "QWERTZ Swiss", "QGMLWY", "XVLCWK Neo"}));
    EXPECT_EQ(map.currentLayoutIndex(), 0);
    map.selectLayout(8);
    EXPECT_EQ(map.currentLayoutIndex(), 0);
    for (const auto& layout : map.layouts()) {
        EXPECT_EQ(layout->hasOptionLayer(), layout->name() == "XVLCWK Neo") << layout->name();
        EXPECT_EQ(layout->combinator(), nullptr) << layout->name();
    }
}

TEST(KeyMapEn, QwertyExamples) {
    KeyMapEn map;
    EXPECT_EQ(map.symbolForKeyCode(0, false, false, false), "a");
    EXPECT_EQ(map.symbolForKeyCode(0, true, false, false), "A");
    EXPECT_EQ(map.symbolForKeyCode(0, false, true, false), "A");
    EXPECT_EQ(map.symbolForKeyCode(0, true, true, false), "A");
    EXPECT_EQ(map.symbolForKeyCode(18, false, true, false), "1");
    EXPECT_EQ(map.keyCodeForSymbol(" "), 49);
    EXPECT_EQ(map.keyCodeForSymbol("A"), std::nullopt);
    EXPECT_EQ(map.keyCodeForSymbol("!"), 18);
    EXPECT_TRUE(map.isShiftSymbol("A", 0));
    EXPECT_FALSE(map.isShiftSymbol("a", 0));
    EXPECT_TRUE(map.isShiftSymbol("!", 18));
    EXPECT_FALSE(map.isShiftSymbol("1", 18));
    EXPECT_FALSE(map.isShiftSymbol("'", 39));
    LogCapture log;
    EXPECT_EQ(map.symbolForKeyCode(10, false, false, false), std::nullopt);
    EXPECT_EQ(log.lines(),
              std::vector<std::string>{
                  "ACHTUNG: can't map symbol for code: 10, shiftOn: false, capsLockOn: false"});
}

TEST(KeyMapEn, DvorakExamples) {
    KeyMapEn map;
    map.selectLayoutByName("DVORAK");
    EXPECT_EQ(map.symbolForKeyCode(12, true, false, false), "'");
    EXPECT_EQ(map.symbolForKeyCode(13, true, false, false), ",");
    EXPECT_EQ(map.symbolForKeyCode(14, true, false, false), ".");
    EXPECT_EQ(map.symbolForKeyCode(6, true, false, false), ":");
    EXPECT_EQ(map.keyCodeForSymbol("\""), std::nullopt);
    EXPECT_EQ(map.keyCodeForSymbol("<"), std::nullopt);
    EXPECT_EQ(map.keyCodeForSymbol(">"), std::nullopt);
}

TEST(KeyMapEn, AzertyAndQwertzExamples) {
    KeyMapEn map;
    map.selectLayoutByName("AZERTY");
    EXPECT_EQ(map.symbolForKeyCode(18, false, false, false), "&");
    EXPECT_EQ(map.symbolForKeyCode(18, true, false, false), "1");
    EXPECT_EQ(map.keyCodeForSymbol("1"), 18);
    EXPECT_TRUE(map.isShiftSymbol("1", 18));
    EXPECT_EQ(map.symbolForKeyCode(18, false, true, false), "&");
    EXPECT_EQ(map.symbolForKeyCode(19, false, true, false), "\u00C9");
    map.selectLayoutByName("QWERTZ");
    EXPECT_EQ(map.currentLayoutIndex(), 4);
    EXPECT_EQ(map.keyCodeForSymbol("#"), 20);
    EXPECT_TRUE(map.isShiftSymbol("#", 20));
    EXPECT_EQ(map.symbolForKeyCode(27, false, true, false), "ß");
    EXPECT_EQ(map.symbolForKeyCode(27, true, false, false), "?");
    EXPECT_EQ(map.symbolForKeyCode(33, true, false, false), "\u00DC");
    EXPECT_EQ(map.symbolForKeyCode(24, false, false, false), "\u00B4");
}

TEST(KeyMapEn, OptionChangesNothingButOnNeo) {
    KeyMapEn map;
    LogCapture quiet;
    for (int layout = 0; layout < 7; ++layout) {
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

TEST(KeyMapEn, NoLayoutTypesKey10) {
    KeyMapEn map;
    for (int layout = 0; layout < 8; ++layout) {
        map.selectLayout(layout);
        LogCapture log;
        for (bool shift : {false, true}) {
            for (bool option : {false, true}) {
                EXPECT_EQ(map.symbolForKeyCode(10, shift, false, option), std::nullopt);
            }
        }
        EXPECT_EQ(log.lines().size(), 4u);
    }
}

TEST(KeyMapEn, SwissAndNeoAreTheGermanTables) {
    KeyMapEn en;
    KeyMapDe de;
    LogCapture quiet;
    for (const char* name : {"QWERTZ Swiss", "XVLCWK Neo"}) {
        en.selectLayoutByName(name);
        de.selectLayoutByName(name);
        EXPECT_EQ(&en.layoutData().dic(), &de.layoutData().dic()) << name;
        EXPECT_EQ(&en.layoutData().dicShift(), &de.layoutData().dicShift()) << name;
        EXPECT_EQ(en.layoutData().dicAlt(), de.layoutData().dicAlt()) << name;
        for (int code = -1; code < 130; ++code) {
            for (int bits = 0; bits < 8; ++bits) {
                EXPECT_EQ(en.symbolForKeyCode(code, bits & 1, bits & 2, bits & 4),
                          de.symbolForKeyCode(code, bits & 1, bits & 2, bits & 4))
                    << name << " key " << code;
            }
        }
    }
}

}  // namespace
}  // namespace wv
