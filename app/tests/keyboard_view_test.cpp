#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <memory>

#include "app/KeyboardKeyTable.h"
#include "app/WVKeyboardButton.h"
#include "app/WVKeyboardView.h"
#include "app/WVMainViewModel.h"
#include "app/WVModifierButton.h"
#include "app/tests/AppTestSupport.h"
#include "languages/layouts/KeyMapDe.h"
#include "languages/layouts/KeyMapEn.h"
#include "languages/layouts/KeyMapTr.h"
#include "languages/layouts/KeyRows.h"
#include "platform/dispatch/ManualRunLoop.h"
#include "platform/foundation/Log.h"

namespace wv {
namespace {

ImagePtr named(const char* name) {
    ImagePtr image = Image::named(name);
    EXPECT_NE(image, nullptr) << name;
    return image;
}

bool pulsing(WVKeyboardButton* key) {
    const Animation* a = key->animationLayer->animationForKey("opacity");
    return !key->animationLayer->isHidden() && a && a->isEndless();
}

class KeyboardViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::application();
        keyboard.reset(WVKeyboardView::makeStandard(Rect(0, 0, 780, 267)));
    }
    WVKeyboardButton* key(std::int64_t code) { return keyboard->keysMap.at(code); }
    ManualRunLoop loop;
    LogCapture log;
    std::unique_ptr<WVKeyboardView> keyboard;
    KeyMapEn english;
};

TEST_F(KeyboardViewTest, RegistersEveryKeyByItsCode) {
    EXPECT_EQ(keyboard->keysMap.size(), 52u) << "48 character keys, space, Tab, Delete, Return";
    for (int code : kKeyRowsOrder) EXPECT_TRUE(keyboard->keysMap.count(code)) << code;
    for (int code : {36, 48, 49, 51}) EXPECT_TRUE(keyboard->keysMap.count(code)) << code;
    for (int code : {54, 55, 56, 57, 58, 59, 60, 61, 63, 123, 124, 125, 126})
        EXPECT_TRUE(keyboard->keysMapModifiers.count(code)) << code;
    EXPECT_EQ(keyboard->leftShiftKey()->tag(), 56);
    EXPECT_EQ(keyboard->rightShiftKey()->tag(), 60);
    EXPECT_EQ(keyboard->capsLockKey()->tag(), 57);
    EXPECT_EQ(keyboard->rightCommandKey()->tag(), 54);
    EXPECT_EQ(keyboard->leftCommandKey()->tag(), 55);
    EXPECT_EQ(keyboard->leftOptionKey()->tag(), 58);
    EXPECT_EQ(keyboard->rightOptionKey()->tag(), 61);
    EXPECT_EQ(keyboard->controlKey()->tag(), 59);
    EXPECT_EQ(keyboard->tabKey()->tag(), 48);
    EXPECT_EQ(keyboard->deleteKey()->tag(), 51);
    EXPECT_EQ(keyboard->returnKey()->tag(), 36);
}

TEST_F(KeyboardViewTest, KeysFillTheReferenceKeyboardWithoutOverlapping) {
    const auto& keys = keyboardKeys();
    Rect all;
    for (size_t i = 0; i < keys.size(); ++i) {
        all = all.united(keys[i].frame);
        for (size_t j = i + 1; j < keys.size(); ++j) {
            const Rect& a = keys[i].frame;
            const Rect& b = keys[j].frame;
            const bool overlap = a.minX() < b.maxX() && b.minX() < a.maxX() &&
                                 a.minY() < b.maxY() && b.minY() < a.maxY();
            EXPECT_FALSE(overlap) << keys[i].keyCode << " and " << keys[j].keyCode;
        }
    }
    EXPECT_GE(all.minX(), 0.0);
    EXPECT_GE(all.minY(), 0.0);
    EXPECT_LE(all.maxX(), 780.0);
    EXPECT_LE(all.maxY(), 267.0);
    EXPECT_GT(all.width(), 770.0);
    EXPECT_GT(all.height(), 257.0);
}

TEST_F(KeyboardViewTest, KeysScaleWithTheKeyboard) {
    const Rect before = key(0)->frame();
    keyboard->setFrame(Rect(0, 0, 1170, 401));
    const Rect after = key(0)->frame();
    EXPECT_NEAR(after.x(), before.x() * 1.5, 0.01);
    EXPECT_NEAR(after.width(), before.width() * 1.5, 0.01);
    EXPECT_NEAR(after.height(), before.height() * 401.0 / 267.0, 0.01);
}

TEST(KeyboardViewRegistration, OnlyDirectButtonSubviewsWithATag) {
    test::application();
    WVKeyboardView keyboard(Rect(0, 0, 200, 100));
    auto* first = new WVKeyboardButton(Rect(0, 0, 40, 40));
    first->setTag(12);
    auto* second = new WVKeyboardButton(Rect(40, 0, 40, 40));
    second->setTag(12);
    auto* untagged = new WVKeyboardButton(Rect(80, 0, 40, 40));
    untagged->setTag(-1);
    auto* plain = new Button(Rect(120, 0, 40, 40));
    plain->setTag(13);
    auto* shift = new WVModifierButton(Rect(0, 50, 40, 40));
    shift->setTag(56);
    auto* holder = new View(Rect(160, 0, 40, 40));
    auto* nested = new WVKeyboardButton(Rect(0, 0, 40, 40));
    nested->setTag(14);
    holder->addSubview(nested);
    for (View* v : std::initializer_list<View*>{first, second, untagged, plain, shift, holder})
        keyboard.addSubview(v);
    keyboard.registerKeyButtons();
    ASSERT_EQ(keyboard.keysMap.size(), 1u);
    EXPECT_EQ(keyboard.keysMap.at(12), second) << "the later button wins";
    EXPECT_EQ(keyboard.leftShiftKey(), shift);
    EXPECT_EQ(keyboard.rightShiftKey(), nullptr);
    EXPECT_EQ(keyboard.returnKey(), nullptr);
}

TEST_F(KeyboardViewTest, RightKeyIsClickedWrongKeyFlashes) {
    keyboard->flashKey(14, false);
    EXPECT_FALSE(key(14)->isError);
    EXPECT_EQ(key(14)->alternateImage(), named("keyBorderCorrect"));
    EXPECT_TRUE(key(14)->isHighlighted()) << "pressed for a moment";
    EXPECT_EQ(key(14)->currentImage(), named("keyBorderCorrect"));
    EXPECT_TRUE(key(14)->animationLayer->isHidden()) << "no overlay for a right key";
    loop.advance(0.2);
    EXPECT_FALSE(key(14)->isHighlighted());

    keyboard->flashKey(13, true);
    EXPECT_TRUE(key(13)->isError);
    EXPECT_EQ(key(13)->alternateImage(), named("keyBorderError"));
    EXPECT_FALSE(key(13)->animationLayer->isHidden());
    loop.advance(3.0);
    EXPECT_TRUE(key(13)->animationLayer->isHidden()) << "the flash hides after its timer";

    keyboard->flashKey(200, true);  // no such key: nothing happens, nothing fails
}

TEST_F(KeyboardViewTest, OnlyTheLastHighlightOfATurnPulses) {
    keyboard->highlightKey(0);
    keyboard->highlightKey(1);
    EXPECT_FALSE(pulsing(key(0)));
    EXPECT_FALSE(pulsing(key(1))) << "the pulse starts on the next turn";
    loop.runUntilIdle();
    EXPECT_FALSE(pulsing(key(0)));
    EXPECT_TRUE(pulsing(key(1)));
    EXPECT_EQ(keyboard->highlightedKey, key(1));
}

TEST_F(KeyboardViewTest, CodeWithoutAKeyLeavesNothingPulsing) {
    keyboard->highlightKey(2);
    loop.runUntilIdle();
    ASSERT_TRUE(pulsing(key(2)));
    keyboard->highlightKey(300);
    loop.runUntilIdle();
    EXPECT_EQ(keyboard->highlightedKey, nullptr);
    EXPECT_FALSE(pulsing(key(2)));
}

TEST_F(KeyboardViewTest, NoneStopsThePulseAndForgetsTheKey) {
    keyboard->highlightKey(2);
    loop.runUntilIdle();
    keyboard->highlightKey(std::nullopt);
    EXPECT_EQ(keyboard->highlightedKey, nullptr);
    EXPECT_FALSE(pulsing(key(2)));
    loop.runUntilIdle();
    EXPECT_FALSE(pulsing(key(2)));
}

TEST_F(KeyboardViewTest, SameKeyAgainRestartsItsPulse) {
    keyboard->highlightKey(2);
    loop.runUntilIdle();
    const double firstStart = key(2)->animationLayer->animationForKey("opacity")->beginTime;
    loop.advance(0.3);
    keyboard->highlightKey(2);
    EXPECT_FALSE(pulsing(key(2))) << "stopped";
    loop.runUntilIdle();
    ASSERT_TRUE(pulsing(key(2)));
    EXPECT_GT(key(2)->animationLayer->animationForKey("opacity")->beginTime, firstStart)
        << "and started again";
}

TEST_F(KeyboardViewTest, ClearHighlightKeepsTheKeyRemembered) {
    keyboard->highlightKey(3);
    loop.runUntilIdle();
    keyboard->clearHighlight();
    EXPECT_FALSE(pulsing(key(3)));
    EXPECT_EQ(keyboard->highlightedKey, key(3));
}

TEST_F(KeyboardViewTest, ShiftAndOptionKeysLightLeftAndRightApart) {
    keyboard->showShiftKeys(true, false);
    EXPECT_EQ(keyboard->leftShiftKey()->image(), named("keyCommandPressed"));
    EXPECT_EQ(keyboard->rightShiftKey()->image(), named("keyCommandDisabled"));
    keyboard->showOptionKeys(false, true);
    EXPECT_EQ(keyboard->leftOptionKey()->image(), named("keyCommandDisabled"));
    EXPECT_EQ(keyboard->rightOptionKey()->image(), named("keyCommandPressed"));
    EXPECT_EQ(keyboard->leftShiftKey()->image(), named("keyCommandPressed"))
        << "Shift keys untouched";
}

TEST_F(KeyboardViewTest, ClearingKeyHintsUnlightsShiftAndOptionKeys) {
    keyboard->highlightKey(0);
    loop.runUntilIdle();
    keyboard->showShiftKeys(true, true);
    keyboard->showOptionKeys(true, true);
    keyboard->clearKeyHints();
    loop.runUntilIdle();
    EXPECT_EQ(keyboard->highlightedKey, nullptr);
    EXPECT_FALSE(pulsing(key(0)));
    for (WVModifierButton* m : {keyboard->leftShiftKey(), keyboard->rightShiftKey(),
                                keyboard->leftOptionKey(), keyboard->rightOptionKey()})
        EXPECT_EQ(m->image(), named("keyCommandDisabled")) << m->tag();
}

TEST_F(KeyboardViewTest, CaptionsFollowTheModifierState) {
    keyboard->updateCaptions("asdf", english, false, false, false);
    EXPECT_EQ(key(0)->equivalentKey, "a");
    EXPECT_EQ(key(18)->equivalentKey, "1");
    EXPECT_EQ(key(49)->equivalentKey, " ");
    keyboard->updateCaptions("asdf", english, true, false, false);
    EXPECT_EQ(key(0)->equivalentKey, "A");
    EXPECT_EQ(key(18)->equivalentKey, "!");
    keyboard->updateCaptions("asdf", english, false, true, false);
    EXPECT_EQ(key(0)->equivalentKey, "A") << "Caps Lock";
    EXPECT_EQ(key(18)->equivalentKey, "1");
    EXPECT_EQ(key(36)->title(), "return") << "keys without a character keep their titles";
    EXPECT_EQ(key(51)->title(), "delete");
    EXPECT_EQ(key(48)->title(), "tab");
    for (const std::string& line : log.lines())
        EXPECT_EQ(line.find("ACHTUNG"), std::string::npos)
            << "keys the layout has nothing on are not asked: " << line;
    EXPECT_FALSE(key(10)->equivalentKey) << "no ISO key on this layout";

    WVMainViewModel model;
    model.modifierFlagsChanged.onNext(0x20004);  // right Shift
    keyboard->updateCaptions("asdf", english, model);
    EXPECT_EQ(key(0)->equivalentKey, "A");
}

TEST_F(KeyboardViewTest, OptionShowsTheAltLayer) {
    KeyMapDe german;
    german.selectLayoutByName("XVLCWK Neo");
    WVMainViewModel model;
    model.modifierFlagsChanged.onNext(0x80020);  // left Option
    keyboard->updateCaptions("", german, model);
    EXPECT_EQ(key(12)->equivalentKey, "…");
    EXPECT_EQ(key(0)->equivalentKey, "\\");
    model.modifierFlagsChanged.onNext(0);
    keyboard->updateCaptions("", german, model);
    EXPECT_EQ(key(12)->equivalentKey, "x");
}

TEST_F(KeyboardViewTest, LettersNotLearnedAreDimmed) {
    keyboard->updateCaptions("fj", english, false, false, false);
    EXPECT_EQ(key(3)->textLayer->opacity(), 1.0) << "f";
    EXPECT_EQ(key(38)->textLayer->opacity(), 1.0) << "j";
    EXPECT_DOUBLE_EQ(key(0)->textLayer->opacity(), double(0.15f)) << "a";
    keyboard->updateCaptions("fja", english, true, false, false);
    EXPECT_EQ(key(0)->textLayer->opacity(), 1.0) << "A, learned as a";
}

TEST_F(KeyboardViewTest, IsoDrawnTableLandsOnTheKeyThatTypesIt) {
    // The German table puts "<" on code 50, drawn on an ISO keyboard: the key beside the left
    // Shift (tag 10) types it, so that key is captioned, pulsed and flashed for code 50.
    KeyMapDe german;
    ASSERT_TRUE(german.layoutData().isIsoTable());
    keyboard->updateCaptions("<", german, false, false, false);
    EXPECT_EQ(key(10)->equivalentKey, "<");
    EXPECT_NE(key(50)->equivalentKey, "<");
    keyboard->highlightKey(*german.keyCodeForSymbol("<"));
    loop.runUntilIdle();
    EXPECT_EQ(keyboard->highlightedKey, key(10));
    keyboard->flashKey(50, true);
    EXPECT_FALSE(key(10)->animationLayer->animationKeys().empty());
    EXPECT_TRUE(key(50)->animationLayer->isHidden());
    keyboard->showTypoHeatMap(
        {{"<", 1}}, [&](std::int64_t code) { return german.symbolsForKeyCode(int(code)); });
    EXPECT_EQ(key(10)->title(), "<");
    EXPECT_TRUE(key(10)->isError);

    // An ANSI-drawn table reads the codes as the tags.
    keyboard->updateCaptions("", english, false, false, false);
    EXPECT_EQ(key(50)->equivalentKey, "`");
    keyboard->highlightKey(50);
    loop.runUntilIdle();
    EXPECT_EQ(keyboard->highlightedKey, key(50));
}

TEST_F(KeyboardViewTest, TurkishCaptionsFollowTurkishCase) {
    KeyMapTr turkish;
    keyboard->updateCaptions("", turkish, false, false, false);
    int seen = 0;
    for (auto& [code, button] : keyboard->keysMap) {
        if (button->equivalentKey == "i") {
            EXPECT_EQ(button->textLayer->attrStr->string(), "İ");
            ++seen;
        }
        if (button->equivalentKey == "ı") {
            EXPECT_EQ(button->textLayer->attrStr->string(), "I");
            ++seen;
        }
    }
    EXPECT_EQ(seen, 2);
}

TEST_F(KeyboardViewTest, CaptionsResetPulseFlashAndHeat) {
    keyboard->updateCaptions("a", english, false, false, false);
    keyboard->highlightKey(0);
    loop.runUntilIdle();
    keyboard->flashKey(1, true);
    keyboard->showTypoHeatMap(
        {{"d", 2}}, [&](std::int64_t code) { return english.symbolsForKeyCode(int(code)); });
    ASSERT_TRUE(key(2)->heatMapOn);
    keyboard->updateCaptions("a", english, false, false, false);
    for (std::int64_t code : {0, 1, 2}) {
        WVKeyboardButton* k = key(code);
        EXPECT_FALSE(k->heatMapOn) << code;
        EXPECT_FALSE(k->isError) << code;
        EXPECT_TRUE(k->animationLayer->isHidden()) << code;
        EXPECT_FALSE(k->timer) << code;
        EXPECT_EQ(k->animationLayer->animationKeys().size(), 0u) << code;
        EXPECT_EQ(k->alternateImage(), named("keyBorderCorrect")) << code;
    }
    EXPECT_EQ(key(2)->equivalentKey, "d") << "the heat title is gone";
    EXPECT_EQ(keyboard->highlightedKey, key(0)) << "stopped but remembered";
}

class HeatMapTest : public KeyboardViewTest {
  protected:
    void SetUp() override {
        KeyboardViewTest::SetUp();
        keyboard->updateCaptions("asdfjkl", english, false, false, false);
    }
    void show(const WVKeyboardView::Mistypes& mistypes) {
        keyboard->showTypoHeatMap(
            mistypes, [&](std::int64_t code) { return english.symbolsForKeyCode(int(code)); });
    }
};

TEST_F(HeatMapTest, LevelFromTheKeysTypoSum) {
    show({{"e", 2}, {"x", 4}, {"q", 1}});
    EXPECT_EQ(key(14)->title(), "E");
    EXPECT_NEAR(key(14)->animationLayer->opacity(), 0.3 + 0.7 * (1.0 - 2.0 / 3.0), 1e-6);
    EXPECT_TRUE(key(14)->isError);
    EXPECT_EQ(key(14)->alternateImage(), named("keyBorderError"));
    EXPECT_NEAR(key(7)->animationLayer->opacity(), 1.0, 1e-6) << "x, the most mistyped";
    EXPECT_NEAR(key(12)->animationLayer->opacity(), 0.3, 1e-6) << "q, the least: level 0";
    EXPECT_TRUE(key(0)->heatMapOn) << "a key without typos is in quiet heat mode";
    EXPECT_TRUE(key(0)->animationLayer->isHidden());
    EXPECT_FALSE(key(0)->isError);
    EXPECT_EQ(key(0)->title(), "a") << "its title stays";
}

TEST_F(HeatMapTest, EqualCountsGiveLevelOne) {
    show({{"e", 3}, {"r", 3}});
    EXPECT_NEAR(key(14)->animationLayer->opacity(), 1.0, 1e-6);
    EXPECT_NEAR(key(15)->animationLayer->opacity(), 1.0, 1e-6);
}

TEST_F(HeatMapTest, CapitalAndShiftedTyposCountOnTheirKey) {
    // "E" counts on e's key with "e"; "!" is the shifted character of 1.
    show({{"E", 2}, {"e", 1}, {"!", 1}, {"z", 5}});
    EXPECT_EQ(key(14)->title(), "E");
    EXPECT_NEAR(key(14)->animationLayer->opacity(), 0.3 + 0.7 * (1.0f - (5.0f - 3.0f) / 4.0f),
                1e-6);
    EXPECT_EQ(key(18)->title(), "!");
}

TEST_F(HeatMapTest, EmptyMistypesPutCaptionedKeysInQuietModeAndUnlightModifiers) {
    keyboard->showShiftKeys(true, true);
    show({});
    for (auto& [code, button] : keyboard->keysMap) {
        if (!button->equivalentKey) {
            EXPECT_FALSE(button->heatMapOn) << "no caption, left alone: " << code;
            continue;
        }
        EXPECT_TRUE(button->heatMapOn) << code;
        EXPECT_TRUE(button->animationLayer->isHidden()) << code;
    }
    for (std::int64_t code : {36, 48, 51, 10}) EXPECT_FALSE(key(code)->equivalentKey) << code;
    EXPECT_EQ(key(0)->title(), "a");
    for (auto& [code, button] : keyboard->keysMapModifiers)
        EXPECT_EQ(button->image(), named("keyCommandDisabled"));
}

// A line ends while its last key is the highlighted one; the hint is cleared only after the
// heat map has appeared, and must not take that key's shade with it.
TEST_F(HeatMapTest, ClearingTheHighlightAfterwardsKeepsEveryShade) {
    keyboard->highlightKey(45);  // n, the last key of the line
    loop.runUntilIdle();
    ASSERT_TRUE(pulsing(key(45)));
    show({{"a", 1}, {"n", 2}, {"h", 1}});
    keyboard->highlightKey(std::nullopt);
    for (std::int64_t code : {0, 45, 4}) {
        EXPECT_TRUE(key(code)->heatMapOn) << code;
        EXPECT_FALSE(key(code)->animationLayer->isHidden()) << code;
        EXPECT_TRUE(key(code)->isError) << code;
    }
    EXPECT_NEAR(key(45)->animationLayer->opacity(), 1.0, 1e-6);
    EXPECT_TRUE(key(14)->animationLayer->isHidden()) << "e had no typo";
}

TEST_F(HeatMapTest, HeatShadeRefusesTheErrorFlash) {
    show({{"e", 2}});
    keyboard->flashKey(14, true);
    EXPECT_FLOAT_EQ(float(key(14)->animationLayer->presentationOpacity()), 1.0f);
    keyboard->flashKey(0, true);
    EXPECT_TRUE(key(0)->animationLayer->isHidden()) << "a quiet key does not flash either";
}

TEST_F(HeatMapTest, SharpSKeepsItsCaption) {
    KeyMapDe german;
    keyboard->updateCaptions("", german, false, false, false);
    keyboard->showTypoHeatMap(
        {{"ß", 1}}, [&](std::int64_t code) { return german.symbolsForKeyCode(int(code)); });
    const std::int64_t code = *german.keyCodeForSymbol("ß");
    EXPECT_EQ(key(code)->equivalentKey, "ß");
    EXPECT_EQ(key(code)->textLayer->attrStr->string(), "ß");
}

}  // namespace
}  // namespace wv

namespace wv {
namespace {

// The keyboard as the screen draws it: with a backdrop it paints what lies under it itself, in
// the gaps and under the keys' rounded corners, and Qt may draw a key alone.
class KeyboardBackdropTest : public KeyboardViewTest {
  protected:
    const QColor kUnder = QColor(200, 30, 140);
    void giveBackdrop() {
        keyboard->setBackdrop(
            [this](QPainter& painter, const QRect& area) { painter.fillRect(area, kUnder); });
    }
    // The keyboard as drawn, on a background of another colour than the backdrop's.
    QImage drawn() {
        QImage image(keyboard->size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::black);
        keyboard->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }
    // The top-left corner pixel of a key, outside its rounded cap.
    QPoint cornerOf(QWidget* key) { return key->mapTo(keyboard.get(), QPoint(0, 0)); }
};

TEST_F(KeyboardBackdropTest, KeysAndGapsShowTheBackdropAndKeysStayDrawn) {
    giveBackdrop();
    const QImage image = drawn();
    for (QWidget* k : {static_cast<QWidget*>(key(0)), static_cast<QWidget*>(key(49)),
                       static_cast<QWidget*>(keyboard->leftShiftKey())}) {
        const QPoint corner = cornerOf(k);
        EXPECT_EQ(image.pixelColor(corner), kUnder) << "under the corner of key " << k->x();
        const QPoint middle = corner + QPoint(k->width() / 2, k->height() / 2);
        EXPECT_NE(image.pixelColor(middle), kUnder) << "the key itself is drawn over it";
    }
    // Between the top-left key's left edge and the keyboard's: a gap.
    const QWidget* first = key(50);
    ASSERT_GT(first->x(), 1);
    EXPECT_EQ(image.pixelColor(first->x() / 2, first->y() + 5), kUnder);
}

TEST_F(KeyboardBackdropTest, KeysAreOpaqueOnlyWhileThereIsABackdrop) {
    EXPECT_FALSE(key(0)->testAttribute(Qt::WA_OpaquePaintEvent));
    giveBackdrop();
    for (auto& [code, k] : keyboard->keysMap)
        EXPECT_TRUE(k->testAttribute(Qt::WA_OpaquePaintEvent)) << code;
    for (auto& [code, k] : keyboard->keysMapModifiers)
        EXPECT_TRUE(k->testAttribute(Qt::WA_OpaquePaintEvent)) << code;
    EXPECT_TRUE(keyboard->testAttribute(Qt::WA_OpaquePaintEvent));

    keyboard->setBackdrop(nullptr);
    EXPECT_FALSE(key(0)->testAttribute(Qt::WA_OpaquePaintEvent));
    EXPECT_FALSE(keyboard->testAttribute(Qt::WA_OpaquePaintEvent));
    const QImage image = drawn();
    EXPECT_EQ(image.pixelColor(cornerOf(key(0))), QColor(Qt::black)) << "see-through again";
}

}  // namespace
}  // namespace wv
