#include <gtest/gtest.h>

#include "languages/KeyMapBase.h"
#include "languages/tests/PrintedRows.h"
#include "platform/foundation/Log.h"

namespace wv {
namespace {

constexpr std::string_view kQwerty = R"(
Row 1: grave 1 2 3 4 5 6 7 8 9 0 - =
Row 2: q w e r t y u i o p [ ] \
Row 3: a s d f g h j k l ; '
Row 4: ∅ z x c v b n m , . /
)";
constexpr std::string_view kQwertyShift = R"(
Row 1: ~ ! @ # $ % ^ & * ( ) _ +
Row 2: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ { } bar
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ : dquote
Row 4: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ < > ?
)";
constexpr std::string_view kQwertz = R"(
Row 1: < 1 2 3 4 5 6 7 8 9 0 ß ´
Row 2: q w e r t z u i o p ü + #
Row 3: a s d f g h j k l ö ä
Row 4: ∅ y x c v b n m , . -
)";
constexpr std::string_view kQwertzShift = R"(
Row 1: > ! dquote # $ % & / ( ) = ? grave
Row 2: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ * '
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 4: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ; : _
)";
// An Option layer with a slash on two keys and a symbol that is also on the base layer.
constexpr std::string_view kOption = R"(
Row 1: ∅ ¹ ² ³ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 2: ∅ ∅ [ ] ∅ ∅ ∅ ∅ ∅ ∅ ∅ / ∅
Row 3: ∅ / ∅ ∅ ∅ ∅ ∅ ∅ - ∅ ∅
Row 4: ∅ ∅ ∅ ∅ ~ ∅ ∅ ∅ ∅ ∅ ∅
)";
constexpr std::string_view kEmpty = R"(
Row 1: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 2: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 4: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
)";

struct Fixture {
    printed::Layer qwerty = printed::parseLayer(kQwerty);
    printed::Layer qwertyShift = printed::parseLayer(kQwertyShift);
    printed::Layer qwertz = printed::parseLayer(kQwertz);
    printed::Layer qwertzShift = printed::parseLayer(kQwertzShift);
    printed::Layer option = printed::parseLayer(kOption);
    printed::Layer empty = printed::parseLayer(kEmpty);

    KeyMapBase make() const {
        KeyMapBase::Layouts layouts;
        layouts.push_back(
            std::make_unique<KeyboardLayoutData>("QWERTY", qwerty.rows(), qwertyShift.rows()));
        layouts.push_back(
            std::make_unique<KeyboardLayoutData>("QWERTZ", qwertz.rows(), qwertzShift.rows()));
        KeyRows opt = option.rows();
        layouts.push_back(
            std::make_unique<KeyboardLayoutData>("Opt", qwerty.rows(), qwertyShift.rows(), &opt));
        KeyRows none = empty.rows();
        layouts.push_back(std::make_unique<KeyboardLayoutData>("Empty option", qwerty.rows(),
                                                               qwertyShift.rows(), &none));
        return KeyMapBase(Language::en, std::move(layouts));
    }
};

TEST(KeyMapBase, EveryKeyUnderEveryModifierFollowsTheLayerRules) {
    Fixture f;
    KeyMapBase map = f.make();
    printed::expectCurrentLayoutMatches(map, f.qwerty, f.qwertyShift);
    map.selectLayout(1);
    printed::expectCurrentLayoutMatches(map, f.qwertz, f.qwertzShift);
    map.selectLayout(2);
    printed::expectCurrentLayoutMatches(map, f.qwerty, f.qwertyShift, &f.option);
    map.selectLayout(3);
    printed::expectCurrentLayoutMatches(map, f.qwerty, f.qwertyShift, &f.empty);
}

TEST(KeyMapBase, SpaceReturnAndDelete) {
    Fixture f;
    KeyMapBase map = f.make();
    LogCapture log;
    for (int bits = 0; bits < 8; ++bits) {
        bool s = bits & 1, c = bits & 2, o = bits & 4;
        EXPECT_EQ(map.symbolForKeyCode(49, s, c, o), " ");
        EXPECT_EQ(map.symbolForKeyCode(36, s, c, o), std::nullopt);
        EXPECT_EQ(map.symbolForKeyCode(51, s, c, o), std::nullopt);
    }
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(map.keyCodeForSymbol(" "), 49);
    EXPECT_EQ(map.symbolsForKeyCode(49), std::vector<std::string>{" "});
}

TEST(KeyMapBase, CapsAndShiftOnLettersAndDigits) {
    Fixture f;
    KeyMapBase map = f.make();
    EXPECT_EQ(map.symbolForKeyCode(0, false, false, false), "a");
    EXPECT_EQ(map.symbolForKeyCode(0, true, false, false), "A");
    EXPECT_EQ(map.symbolForKeyCode(0, false, true, false), "A");
    EXPECT_EQ(map.symbolForKeyCode(0, true, true, false), "A");
    EXPECT_EQ(map.symbolForKeyCode(18, false, true, false), "1");
    EXPECT_EQ(map.symbolForKeyCode(18, true, false, false), "!");
    map.selectLayoutByName("QWERTZ");
    EXPECT_EQ(map.symbolForKeyCode(27, true, false, false), "?");
    EXPECT_EQ(map.symbolForKeyCode(27, false, true, false), "ß");
    EXPECT_EQ(map.symbolForKeyCode(41, false, true, false), "Ö");
}

TEST(KeyMapBase, OptionLayerWinsOnlyWhereItHasAnEntry) {
    Fixture f;
    KeyMapBase map = f.make();
    EXPECT_EQ(map.symbolForKeyCode(19, false, false, true), "2");
    map.selectLayout(2);
    EXPECT_EQ(map.symbolForKeyCode(19, false, false, true), "²");
    EXPECT_EQ(map.symbolForKeyCode(19, true, true, true), "²");
    EXPECT_EQ(map.symbolForKeyCode(50, true, false, true), "~");
    EXPECT_EQ(map.symbolForKeyCode(18, true, false, true), "¹");
    EXPECT_EQ(map.symbolForKeyCode(0, false, true, true), "A");
    EXPECT_TRUE(map.isAltSymbol("²", 19));
    EXPECT_FALSE(map.isAltSymbol("2", 19));
    EXPECT_FALSE(map.isAltSymbol("²", 20));
    // "-" is on the base layer (27) and the Option layer (37): the Option layer is entered last.
    EXPECT_EQ(map.keyCodeForSymbol("-"), 37);
    // "/" twice in one layer: either key, the same every time.
    auto slash = map.keyCodeForSymbol("/");
    ASSERT_TRUE(slash == 30 || slash == 1);
    EXPECT_EQ(map.keyCodeForSymbol("/"), slash);
    map.selectLayout(3);
    EXPECT_FALSE(map.layoutData().hasOptionLayer());
    EXPECT_EQ(map.symbolForKeyCode(19, false, false, true), "2");
}

TEST(KeyMapBase, UnmappedKeyIsReportedWithItsFlags) {
    Fixture f;
    KeyMapBase map = f.make();
    LogCapture log;
    EXPECT_EQ(map.symbolForKeyCode(10, false, false, false), std::nullopt);
    EXPECT_EQ(map.symbolForKeyCode(53, true, false, true), std::nullopt);
    EXPECT_EQ(map.symbolForKeyCode(200, false, true, false), std::nullopt);
    EXPECT_EQ(map.symbolForKeyCode(-3, false, false, false), std::nullopt);
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{
                  "ACHTUNG: can't map symbol for code: 10, shiftOn: false, capsLockOn: false",
                  "ACHTUNG: can't map symbol for code: 53, shiftOn: true, capsLockOn: false",
                  "ACHTUNG: can't map symbol for code: 200, shiftOn: false, capsLockOn: true",
                  "ACHTUNG: can't map symbol for code: -3, shiftOn: false, capsLockOn: false",
              }));
}

TEST(KeyMapBase, InverseLookup) {
    Fixture f;
    KeyMapBase map = f.make();
    EXPECT_EQ(map.keyCodeForSymbol("!"), 18);
    EXPECT_EQ(map.keyCodeForSymbol("a"), 0);
    EXPECT_EQ(map.keyCodeForSymbol("A"), std::nullopt);
    EXPECT_EQ(map.keyCodeForSymbol(""), std::nullopt);
    EXPECT_EQ(map.keyCodeForSymbol("ä"), std::nullopt);
    map.selectLayout(1);
    // "#" is the base symbol of 42 and the Shift symbol of 20.
    EXPECT_EQ(map.keyCodeForSymbol("#"), 20);
    EXPECT_EQ(map.keyCodeForSymbol("ä"), 39);
    EXPECT_EQ(map.keyCodeForSymbol("a\u0308"), 39);  // decomposed ä
    EXPECT_EQ(map.keyCodeForSymbol("\u00B4"), 24);
    EXPECT_EQ(map.keyCodeForSymbol("'"), 42);
}

TEST(KeyMapBase, ShiftSymbol) {
    Fixture f;
    KeyMapBase map = f.make();
    struct Case {
        const char* character;
        int key;
        bool shift;
    } cases[] = {{"A", 0, true},   {"a", 0, false},  {"!", 18, true},
                 {"1", 18, false}, {"'", 39, false}, {"B", 0, false},
                 {"\"", 39, true}, {"", 0, false},   {"A", 10, false}};
    for (const Case& c : cases) {
        EXPECT_EQ(map.isShiftSymbol(c.character, c.key), c.shift) << c.character << " " << c.key;
    }
    map.selectLayout(1);
    EXPECT_TRUE(map.isShiftSymbol("#", 20));
    EXPECT_TRUE(map.isShiftSymbol("Ü", 33));
    EXPECT_TRUE(map.isShiftSymbol("U\u0308", 33));
    EXPECT_FALSE(map.isShiftSymbol("ß", 27));
}

TEST(KeyMapBase, Fingers) {
    Fixture f;
    KeyMapBase map = f.make();
    const std::pair<int, int> table[] = {{49, -1}, {10, -1}, {36, -1}, {21, 2},   {22, 3},  {-5, 0},
                                         {50, 0},  {13, 1},  {23, 3},  {26, 4},   {43, 5},  {25, 6},
                                         {39, 7},  {42, 7},  {48, -1}, {127, -1}, {500, -1}};
    for (auto [key, zone] : table) EXPECT_EQ(map.fingerForKeyCode(key), zone) << key;
    int perZone[8] = {};
    int mapped = 0;
    for (int code = 0; code < 128; ++code) {
        int zone = map.fingerForKeyCode(code);
        if (zone >= 0) {
            ++perZone[zone];
            ++mapped;
        }
    }
    EXPECT_EQ(mapped, 47);  // the 48 keys but key 10
    const int expected[8] = {5, 4, 5, 8, 7, 4, 4, 10};
    for (int z = 0; z < 8; ++z) EXPECT_EQ(perZone[z], expected[z]) << "zone " << z;
}

TEST(KeyMapBase, SelectingLayouts) {
    Fixture f;
    KeyMapBase map = f.make();
    EXPECT_EQ(map.layoutNames(),
              (std::vector<std::string>{"QWERTY", "QWERTZ", "Opt", "Empty option"}));
    EXPECT_EQ(map.currentLayoutIndex(), 0);
    map.selectLayout(1);
    map.selectLayout(-1);
    map.selectLayout(4);
    EXPECT_EQ(map.currentLayoutIndex(), 1);
    EXPECT_EQ(map.layoutData().name(), "QWERTZ");
    map.selectLayoutByName("Opt");
    EXPECT_EQ(map.currentLayoutIndex(), 2);
    map.selectLayoutByName("Dvorak");
    EXPECT_EQ(map.currentLayoutIndex(), 2);
    EXPECT_EQ(map.lang(), Language::en);
}

TEST(KeyMapBase, AnEmptyLayoutListStillAnswers) {
    KeyMapBase map(Language::de, {});
    EXPECT_EQ(map.layoutNames().size(), 1u);
    EXPECT_EQ(map.currentLayoutIndex(), 0);
    LogCapture quiet;
    EXPECT_EQ(map.symbolForKeyCode(0, false, false, false), std::nullopt);
    EXPECT_EQ(map.symbolForKeyCode(49, false, false, false), " ");
}

TEST(UppercasedCharacter, PerCharacterWithTheSharpSException) {
    const std::pair<const char*, const char*> table[] = {
        {"a", "A"}, {"ä", "Ä"}, {"ß", "ß"}, {"é", "É"}, {"ς", "Σ"}, {"σ", "Σ"}, {"i", "I"},
        {"ı", "I"}, {"ñ", "Ñ"}, {"1", "1"}, {"´", "´"}, {"ŉ", "ŉ"}, {"й", "Й"}};
    for (auto [in, out] : table) {
        EXPECT_EQ(printed::codePoints(uppercasedCharacter(in)), printed::codePoints(out)) << in;
    }
}

}  // namespace
}  // namespace wv
