#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <memory>
#include <string>

#include "app/KeyboardKeyTable.h"
#include "app/WVFingersView.h"
#include "app/WVHintView.h"
#include "app/WVKeyboardButton.h"
#include "app/WVKeyboardView.h"
#include "app/tests/AppTestSupport.h"
#include "languages/LetterGroups.h"
#include "languages/layouts/KeyMapDe.h"
#include "languages/layouts/KeyMapEn.h"
#include "languages/layouts/KeyMapFr.h"
#include "languages/layouts/KeyMapGr.h"
#include "languages/layouts/KeyMapRu.h"
#include "platform/dispatch/ManualRunLoop.h"
#include "platform/foundation/Log.h"
#include "platform/ui/values/Color.h"

namespace wv {
namespace {

// Pictures of the keyboard as the learner sees it, written under the build tree for people
// to look at, and measured here: captions centred in their keys, dimmed captions dimmer.
const QString kFolder = "screenshots";

struct Shot {
    const char* name;
    std::unique_ptr<KeyMapBase> (*keys)();
    Language language;
};

std::unique_ptr<KeyMapBase> english() { return std::make_unique<KeyMapEn>(); }
std::unique_ptr<KeyMapBase> german() { return std::make_unique<KeyMapDe>(); }
std::unique_ptr<KeyMapBase> french() { return std::make_unique<KeyMapFr>(); }
std::unique_ptr<KeyMapBase> russian() { return std::make_unique<KeyMapRu>(); }
std::unique_ptr<KeyMapBase> greek() { return std::make_unique<KeyMapGr>(); }

const Shot kShots[] = {
    {"en_qwerty", english, Language::en}, {"de_qwertz", german, Language::de},
    {"fr_azerty", french, Language::fr},  {"ru_jcuken", russian, Language::ru},
    {"gr", greek, Language::gr},
};

// The first three lessons' letters: the rest of the letters show dimmed.
std::string learned(Language language) {
    const auto& groups = letterGroups(language);
    return groups[0] + groups[1] + groups[2];
}

// The keyboard in a window of the given size, at the place the typing screen gives it.
struct Scene {
    Scene(double width, double height) : scale(width, height) {
        const double s = uiScaleFactor();
        View* content = scale.window().contentView();
        keyboard = WVKeyboardView::makeStandard(
            Rect(std::ceil(164 * s), std::ceil(80 * s), std::ceil(780 * s), std::ceil(267 * s)));
        content->addSubview(keyboard);
    }
    QImage shoot() { return keyboard->snapshot(1.0); }
    test::ScaleWindow scale;
    WVKeyboardView* keyboard;
};

void save(const QImage& image, const std::string& name) {
    QDir().mkpath(kFolder);
    image.save(kFolder + "/" + QString::fromStdString(name) + ".png");
}

// The bounding box of the caption's light pixels inside a key (the caption is white on a dark
// cap; the cap's own sheen is faint).
QRect captionBox(const QImage& image, const QRect& key, int threshold) {
    QRect box;
    for (int y = key.top() + 4; y < key.bottom() - 4; ++y)
        for (int x = key.left() + 4; x < key.right() - 4; ++x)
            if (qGray(image.pixel(x, y)) > threshold) box = box.united(QRect(x, y, 1, 1));
    return box;
}

QRect keyRect(WVKeyboardView& keyboard, int code) {
    const Rect f = keyFrame(*keyboardKey(code), keyboard.frame().size);
    return QRect(int(std::lround(f.x())), int(std::lround(f.y())), int(std::lround(f.width())),
                 int(std::lround(f.height())));
}

class KeyboardScreenshots : public ::testing::TestWithParam<Shot> {};

TEST_P(KeyboardScreenshots, CaptionsCentredAndUnlearnedLettersDimmed) {
    test::application();
    ManualRunLoop loop;
    LogCapture log;
    const Shot& shot = GetParam();
    auto keys = shot.keys();
    for (auto [width, height] : {std::pair{1100.0, 620.0}, std::pair{1650.0, 930.0}}) {
        for (int modifier = 0; modifier < 3; ++modifier) {
            Scene scene(width, height);
            scene.keyboard->updateCaptions(learned(shot.language), *keys, modifier == 1, false,
                                           modifier == 2);
            const QImage image = scene.shoot();
            const char* state = modifier == 0 ? "" : modifier == 1 ? "_shift" : "_option";
            save(image, std::string(shot.name) + "_" + std::to_string(int(width)) + state);
            // Every lit caption of a letter key sits in the middle of its key.
            for (const auto& [code, button] : scene.keyboard->keysMap) {
                if (!button->equivalentKey || *button->equivalentKey == " " ||
                    button->textLayer->opacity() < 1)
                    continue;
                const QRect key = keyRect(*scene.keyboard, int(code));
                const QRect box = captionBox(image, key, 200);
                if (box.isEmpty()) continue;  // marks too thin to pass the threshold
                const double dx = box.center().x() + 0.5 - (key.left() + key.width() / 2.0);
                const double dy = box.center().y() + 0.5 - (key.top() + key.height() / 2.0);
                EXPECT_LT(std::fabs(dx), key.width() * 0.12)
                    << shot.name << " key " << code << " '" << *button->equivalentKey << "' at "
                    << width;
                EXPECT_LT(std::fabs(dy), key.height() * 0.2)
                    << shot.name << " key " << code << " '" << *button->equivalentKey << "' at "
                    << width;
            }
        }
    }
}

TEST(OverlayScreenshots, PulseFlashAndHeatShowUnderTheCaptions) {
    test::application();
    ManualRunLoop loop;
    LogCapture log;
    auto keys = english();
    Scene scene(1100, 620);
    scene.keyboard->updateCaptions(learned(Language::en), *keys, false, false, false);
    scene.keyboard->highlightKey(1);
    loop.runUntilIdle();
    scene.keyboard->flashKey(0, true);
    scene.keyboard->showShiftKeys(true, false);
    QImage image = scene.shoot();
    save(image, "en_qwerty_1100_pulse_flash");
    const QRect pulsed = keyRect(*scene.keyboard, 1), flashed = keyRect(*scene.keyboard, 0);
    const QColor blue = image.pixelColor(pulsed.left() + 6, pulsed.top() + 6);
    const QColor red = image.pixelColor(flashed.left() + 6, flashed.top() + 6);
    EXPECT_GT(blue.blue(), blue.red() + 60) << "the next key is blue";
    EXPECT_GT(red.red(), red.blue() + 60) << "the wrong key is red";
    EXPECT_FALSE(captionBox(image, pulsed, 200).isEmpty()) << "the caption stays on top";

    scene.keyboard->showTypoHeatMap({{"e", 4}, {"r", 2}, {"a", 1}}, [&](std::int64_t code) {
        return keys->symbolsForKeyCode(int(code));
    });
    image = scene.shoot();
    save(image, "en_qwerty_1100_heat");
    const QColor hot = image.pixelColor(keyRect(*scene.keyboard, 14).left() + 6,
                                        keyRect(*scene.keyboard, 14).top() + 6);
    const QColor warm = image.pixelColor(keyRect(*scene.keyboard, 15).left() + 6,
                                         keyRect(*scene.keyboard, 15).top() + 6);
    const QColor cold = image.pixelColor(keyRect(*scene.keyboard, 2).left() + 6,
                                         keyRect(*scene.keyboard, 2).top() + 6);
    EXPECT_GT(hot.red(), warm.red()) << "more typos, deeper red";
    EXPECT_GT(warm.red(), cold.red() + 40) << "a key without typos has no shade";
}

TEST(FingerScreenshots, ActiveFingerIsLitOverTheKeyboard) {
    test::application();
    ManualRunLoop loop;
    LogCapture log;
    auto keys = english();
    for (auto [width, height] : {std::pair{1100.0, 620.0}, std::pair{1650.0, 930.0}}) {
        Scene scene(width, height);
        scene.keyboard->updateCaptions(learned(Language::en), *keys, false, false, false);
        auto* fingers = new WVFingersView(scene.keyboard->frame());
        scene.scale.window().contentView()->addSubview(fingers);
        for (int zone : {3, 4, -1}) {
            fingers->showFingers(zone);
            QImage image = scene.keyboard->snapshot(1.0);
            QPainter painter(&image);
            painter.drawImage(QPointF(0, 0), fingers->snapshot(1.0));
            painter.end();
            save(image, "fingers_zone" + std::to_string(zone) + "_" + std::to_string(int(width)));
            // The lit finger is drawn in the highlight colour: blue dominates somewhere in its
            // picture.
            const QImage lit = fingers->snapshot(1.0);
            int blue = 0;
            for (int y = 0; y < lit.height(); ++y)
                for (int x = 0; x < lit.width(); ++x) {
                    const QColor c = lit.pixelColor(x, y);
                    if (c.alpha() > 60 && c.blue() > c.red() + 60) ++blue;
                }
            EXPECT_GT(blue, 200) << "zone " << zone;
        }
    }
}

TEST(HintScreenshots, EnterTipAndLessonTip) {
    test::application();
    ManualRunLoop loop;
    auto* window = new Window(Rect(0, 0, 600, 200));
    auto* hint = new WVHintView(Rect(20, 20, 520, 150));
    window->contentView()->addSubview(hint);
    TextAttributes a;
    a.font = Font::system(15);
    hint->showHint(WVHintIconStyle::info,
                   AttributedString("Press Enter to start the next line.", a), {"Enter"},
                   WVKeyContainerPosition::leading);
    save(hint->snapshot(1.0), "hint_enter");
    hint->showHint(WVHintIconStyle::award,
                   AttributedString("A new lesson! These letters join the exercises from now on; "
                                    "find them on the keyboard before you type.",
                                    a),
                   {"g", "h", "t"}, WVKeyContainerPosition::bottom);
    save(hint->snapshot(1.0), "hint_lesson");
    EXPECT_TRUE(QFile::exists(kFolder + "/hint_enter.png"));
    delete window;
}

INSTANTIATE_TEST_SUITE_P(Layouts, KeyboardScreenshots, ::testing::ValuesIn(kShots),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace wv
