#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>

#include "app/SharedColors.h"
#include "app/TitleLayer.h"
#include "platform/ui/Graphics.h"
#include "app/TextHelpers.h"
#include "app/WVKeyboardButton.h"
#include "app/tests/AppTestSupport.h"
#include "app/tests/FixedTextMeasurer.h"
#include "platform/ui/Image.h"
#include "platform/dispatch/ManualRunLoop.h"

namespace wv {
namespace {

const Animation* overlayAnimation(WVKeyboardButton& key) {
    return key.animationLayer->animationForKey("opacity");
}

// A character key as drawn, without what lies under it.
QImage drawnKey(WVKeyboardButton& key) {
    QImage image(key.width(), key.height(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    key.render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    return image;
}

ImagePtr filled(QColor color) {
    return std::make_shared<Image>(Size{10, 10}, [color](QPainter& p, Size s) {
        p.fillRect(QRectF(0, 0, s.width, s.height), color);
    });
}

// Character keys that look alike share the pixels of one face: each must still show its own.
TEST(KeyFace, KeysThatLookAlikeShareAFaceAndEachShowsItsOwn) {
    test::application();
    const ImagePtr red = filled(Qt::red), blue = filled(Qt::blue);
    WVKeyboardButton a(Rect(0, 0, 40, 40)), b(Rect(0, 0, 40, 40)), wide(Rect(0, 0, 60, 40)),
        off(Rect(0, 0, 40, 40));
    for (WVKeyboardButton* key : {&a, &b, &wide, &off}) key->setImage(red);
    off.setImageDimsWhenDisabled(true);
    off.setEnabled(false);
    const QImage redKey = drawnKey(a);
    EXPECT_EQ(redKey.pixelColor(20, 20), QColor(Qt::red));
    EXPECT_EQ(drawnKey(b), redKey);
    EXPECT_EQ(drawnKey(wide).pixelColor(50, 20), QColor(Qt::red)) << "drawn at its own width";
    EXPECT_NE(drawnKey(off).pixelColor(20, 20), QColor(Qt::red)) << "dimmed";

    b.setImage(blue);
    EXPECT_EQ(drawnKey(b).pixelColor(20, 20), QColor(Qt::blue));
    EXPECT_EQ(drawnKey(a), redKey) << "the face a still shows was not drawn over";
    a.setImage(blue);
    b.setImage(red);
    EXPECT_EQ(drawnKey(a).pixelColor(20, 20), QColor(Qt::blue));
    EXPECT_EQ(drawnKey(b), redKey);
}

TEST(KeyCaption, ShownUpperCasedExceptSharpS) {
    test::application();
    struct Case {
        const char* title;
        const char* locale;
        const char* shown;
    };
    const Case cases[] = {{"a", "", "A"},   {"ß", "", "ß"}, {"я", "", "Я"}, {"i", "tr", "İ"},
                          {"ı", "tr", "I"}, {";", "", ";"}, {"σ", "", "Σ"}, {"ς", "", "ς"},
                          {"É", "", "É"},   {"ŉ", "", "ŉ"}};
    for (const Case& c : cases) {
        WVKeyboardButton key(Rect(0, 0, 48, 49));
        key.captionLocale = c.locale;
        key.setTitle(c.title);
        ASSERT_TRUE(key.textLayer->attrStr);
        EXPECT_EQ(key.textLayer->attrStr->string(), c.shown) << c.title;
        EXPECT_EQ(key.equivalentKey, c.title) << "kept as given";
        EXPECT_EQ(key.title(), c.title);
    }
}

TEST(KeyCaption, MediumSystemFontScaledWhiteAndCentred) {
    test::application();
    test::ScaleWindow window(1650, 930);
    WVKeyboardButton key(Rect(0, 0, 72, 74));
    key.setTitle("q");
    const TextAttributes a = key.textLayer->attrStr->attributesAtStart();
    EXPECT_DOUBLE_EQ(a.font->pointSize, 13.0 * 1.5);
    EXPECT_EQ(a.font->weight, FontWeight::Medium);
    EXPECT_EQ(a.foreground, Color::white());
    EXPECT_EQ(a.paragraph->alignment, TextAlignment::Center);
}

TEST(KeyCaption, LabelIsNoCaption) {
    test::application();
    WVKeyboardButton tab(Rect(0, 0, 74, 49), "tab");
    EXPECT_EQ(tab.title(), "tab");
    EXPECT_FALSE(tab.equivalentKey);
    EXPECT_FALSE(tab.textLayer->attrStr);
}

TEST(TitleLayer, CaptionSitsInTheMiddleOfTheLayer) {
    // A caption 20 wide and 16 high in a 46 x 47 layer starts 13 from the left and 15.5 from the
    // top: the whole caption width is taken off, not half of it.
    ScopedTextMeasurer measurer(std::make_shared<test::FixedTextMeasurer>(Rect(13, 0, 20, 16)));
    const Rect r = TitleLayer::captionRect(AttributedString("W"), Size{46, 47});
    EXPECT_DOUBLE_EQ(r.x(), 13.0);
    EXPECT_DOUBLE_EQ(r.y(), 15.5);
    EXPECT_DOUBLE_EQ(r.width(), 20.0);
    EXPECT_DOUBLE_EQ(r.height(), 16.0);
}

TEST(TitleLayer, DrawnCaptionIsCentred) {
    test::application();
    WVKeyboardButton key(Rect(0, 0, 60, 60));
    key.setTitle("m");
    QImage image(60, 60, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QPainter painter(&image);
    key.textLayer->render(painter, QRectF(1, 1, 58, 58), false);
    painter.end();
    int left = 60, right = -1, top = 60, bottom = -1;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 60; ++x)
            if (qGray(image.pixel(x, y)) > 128) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    ASSERT_GE(right, left) << "something was drawn";
    EXPECT_NEAR((left + right + 1) / 2.0, 30.0, 1.5);
    EXPECT_NEAR((top + bottom + 1) / 2.0, 30.0, 4.0);
}

// The caption's picture holds only its own rectangle: whatever a caption inks, accents and
// descenders included, still reaches the screen, at the same pixels as text drawn straight
// into the layer's place.
TEST(TitleLayer, DrawnCaptionLosesNoInkToItsPicture) {
    test::application();
    for (double density : {1.0, 2.0}) {
        for (const char* title : {"m", "\u00C9", "\u0149", "j", "\u00FF", "\u01C4", "@"}) {
            WVKeyboardButton key(Rect(0, 0, 48, 49));
            key.setTitle(title);
            const AttributedString& text = *key.textLayer->attrStr;
            const Size size{48, 49};
            QImage shown(int(48 * density), int(49 * density), QImage::Format_ARGB32_Premultiplied);
            shown.setDevicePixelRatio(density);
            shown.fill(Qt::transparent);
            QImage straight = shown;
            {
                QPainter painter(&shown);
                key.textLayer->render(painter, QRectF(0, 0, size.width, size.height), false);
            }
            {
                QPainter painter(&straight);
                const Rect used = usedTextRect(text, size.width, size.height);
                const Rect at = TitleLayer::captionRect(text, size);
                Graphics::drawText(painter, text,
                                   Rect(at.x() - used.x(), at.y() - used.y(), size.width, size.height),
                                   false);
            }
            EXPECT_EQ(shown, straight) << title << " at density " << density;
        }
    }
}

TEST(KeyOverlay, SetUpHiddenUnderTheCaption) {
    test::application();
    WVKeyboardButton key(Rect(0, 0, 48, 50));
    EXPECT_TRUE(key.animationLayer->isHidden());
    EXPECT_EQ(key.animationLayer->frame(), Rect(1, 1, 46, 48));
    EXPECT_EQ(key.textLayer->frame(), Rect(1, 1, 46, 48));
    EXPECT_EQ(key.animationLayer->cornerRadius(), 4.0);
    ASSERT_EQ(key.layer()->sublayers().size(), 2u);
    EXPECT_EQ(key.layer()->sublayers()[0], key.animationLayer) << "overlay below";
    EXPECT_EQ(key.layer()->sublayers()[1], key.textLayer) << "caption above";
    key.setFrameSize(Size{72, 75});
    EXPECT_EQ(key.animationLayer->frame(), Rect(1, 1, 70, 73)) << "follows the key's size";
}

TEST(KeyOverlay, HighlightPulsesBlueWithoutEnd) {
    test::application();
    ManualRunLoop loop;
    WVKeyboardButton key(Rect(0, 0, 48, 50));
    key.startHighlightAnimation();
    EXPECT_FALSE(key.animationLayer->isHidden());
    EXPECT_EQ(key.animationLayer->backgroundColor(), highlightColor());
    const Animation* a = overlayAnimation(key);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(std::get<double>(*a->from), 0.7);
    EXPECT_EQ(std::get<double>(*a->to), 0.2);
    EXPECT_EQ(a->duration, 0.75);
    EXPECT_TRUE(a->autoreverses);
    EXPECT_TRUE(a->isEndless());
    EXPECT_EQ(a->timing, TimingFunction::easeInEaseOut());
    loop.advance(100);
    EXPECT_FALSE(key.animationLayer->isHidden()) << "still pulsing";
    key.stopHighlightAnimation();
    EXPECT_TRUE(key.animationLayer->isHidden());
}

TEST(KeyOverlay, ErrorFlashFadesAndHidesAfterThreeSeconds) {
    test::application();
    ManualRunLoop loop;
    WVKeyboardButton key(Rect(0, 0, 48, 50));
    key.flashError();
    EXPECT_FALSE(key.animationLayer->isHidden());
    EXPECT_EQ(key.animationLayer->backgroundColor(), errorColor());
    const Animation* a = overlayAnimation(key);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(std::get<double>(*a->from), 0.6);
    EXPECT_EQ(std::get<double>(*a->to), 0.0);
    EXPECT_EQ(a->duration, 3.2);
    EXPECT_FALSE(a->autoreverses);
    ASSERT_TRUE(key.timer);
    loop.advance(2.9);
    EXPECT_FALSE(key.animationLayer->isHidden());
    loop.advance(0.1);
    EXPECT_TRUE(key.animationLayer->isHidden()) << "hidden by the timer at 3.0 s";
    EXPECT_FALSE(key.timer);
}

TEST(KeyOverlay, SecondWrongKeyRestartsTheFade) {
    test::application();
    ManualRunLoop loop;
    WVKeyboardButton key(Rect(0, 0, 48, 50));
    key.flashError();
    auto first = key.timer;
    loop.advance(2.0);
    key.flashError();
    EXPECT_FALSE(first->isValid()) << "the pending timer is replaced";
    EXPECT_DOUBLE_EQ(key.animationLayer->presentationOpacity(), 0.6) << "the fade starts again";
    loop.advance(2.5);
    EXPECT_FALSE(key.animationLayer->isHidden()) << "4.5 s after the first, 2.5 s after the last";
    loop.advance(0.5);
    EXPECT_TRUE(key.animationLayer->isHidden());
}

TEST(KeyOverlay, PulseCancelsAPendingFlash) {
    test::application();
    ManualRunLoop loop;
    WVKeyboardButton key(Rect(0, 0, 48, 50));
    key.flashError();
    key.startHighlightAnimation();
    loop.advance(5.0);
    EXPECT_FALSE(key.animationLayer->isHidden()) << "the flash's timer does not stop the pulse";
    EXPECT_EQ(key.animationLayer->backgroundColor(), highlightColor());
    ASSERT_NE(overlayAnimation(key), nullptr);
    EXPECT_TRUE(overlayAnimation(key)->isEndless());
}

TEST(HeatShade, OpacityByLevel) {
    struct Case {
        float level, opacity;
    };
    for (const Case& c : {Case{-1.0f, 0.3f}, Case{0.0f, 0.3f}, Case{0.5f, 0.65f}, Case{1.0f, 1.0f},
                          Case{2.0f, 1.0f}})
        EXPECT_FLOAT_EQ(WVKeyboardButton::heatOpacity(c.level), c.opacity) << c.level;
}

TEST(HeatShade, ShownOnACaptionedKeyAndRefusesTheFlash) {
    test::application();
    ManualRunLoop loop;
    WVKeyboardButton key(Rect(0, 0, 48, 50));
    key.setTitle("e");
    key.textLayer->setOpacity(0.15);
    key.startHighlightAnimation();
    key.showHeatMap(true, 0.5f);
    ASSERT_NE(Image::named("keyBorderError"), nullptr);
    EXPECT_TRUE(key.heatMapOn);
    EXPECT_TRUE(key.isError);
    EXPECT_EQ(key.alternateImage(), Image::named("keyBorderError"));
    EXPECT_EQ(key.textLayer->opacity(), 1.0);
    EXPECT_FALSE(key.animationLayer->isHidden());
    EXPECT_EQ(key.animationLayer->backgroundColor(), errorColor());
    EXPECT_FLOAT_EQ(float(key.animationLayer->opacity()), 0.65f);
    EXPECT_EQ(overlayAnimation(key), nullptr) << "the pulse is gone";
    key.flashError();
    EXPECT_EQ(overlayAnimation(key), nullptr) << "no red fade over the shade";
    EXPECT_FLOAT_EQ(float(key.animationLayer->presentationOpacity()), 0.65f);
    EXPECT_FALSE(key.timer);
}

TEST(HeatShade, QuietShadeHidesTheOverlay) {
    test::application();
    WVKeyboardButton key(Rect(0, 0, 48, 50));
    key.setTitle("e");
    key.showHeatMap(false, 0.0f);
    EXPECT_TRUE(key.heatMapOn);
    EXPECT_FALSE(key.isError);
    EXPECT_TRUE(key.animationLayer->isHidden());
    EXPECT_EQ(key.alternateImage(), Image::named("keyBorderCorrect"));
}

TEST(HeatShade, KeyWithoutCaptionIsLeftAlone) {
    test::application();
    WVKeyboardButton key(Rect(0, 0, 48, 50), "tab");
    key.setAlternateImage(nullptr);
    key.showHeatMap(true, 1.0f);
    EXPECT_FALSE(key.heatMapOn);
    EXPECT_FALSE(key.isError);
    EXPECT_EQ(key.alternateImage(), nullptr);
    EXPECT_TRUE(key.animationLayer->isHidden());
}

}  // namespace
}  // namespace wv
