// Pictures of the typing screen at the reference size and at one and a half times it, in the
// middle of a line with two typos and after a finished line with its deltas and tip. They go
// to screenshots/ under the test's working folder; the checks keep the parts apart and inside.
#include <gtest/gtest.h>

#include <QDir>
#include <chrono>
#include <thread>

#include "app/WVHintView.h"
#include "app/WVKeyboardButton.h"
#include "app/WVKeyboardView.h"
#include "app/tests/RunningApplication.h"
#include "platform/ui/TextMeasurer.h"

namespace wv {

void PrintTo(const Size& s, std::ostream* os) { *os << s.width << " x " << s.height; }

namespace {

using test::RunningApplication;

const QString kFolder = "screenshots";

void save(const QImage& image, const std::string& name) {
    QDir().mkpath(kFolder);
    image.save(kFolder + "/" + QString::fromStdString(name) + ".png");
}

bool intersects(const Rect& a, const Rect& b) {
    return a.minX() < b.maxX() && b.minX() < a.maxX() && a.minY() < b.maxY() && b.minY() < a.maxY();
}

bool inside(const Rect& inner, const Rect& outer) {
    return inner.minX() >= outer.minX() - 0.5 && inner.maxX() <= outer.maxX() + 0.5 &&
           inner.minY() >= outer.minY() - 0.5 && inner.maxY() <= outer.maxY() + 0.5;
}

class TypingScreenPictures : public ::testing::TestWithParam<Size> {};

TEST_P(TypingScreenPictures, MidLineAndAfterAFinishedLine) {
    const Size size = GetParam();
    RunningApplication app;
    // The menu bar takes its height from the window.
    const double menuBar = app.window().frame().height() - app.screen().view()->frame().height();
    app.window().setContentSize(Size{size.width, size.height + menuBar});
    QCoreApplication::processEvents();
    app.loop.advance(0.5);  // the live resize ends and the keyboard takes its place
    WVMainViewController& screen = app.screen();
    View* root = screen.view();
    ASSERT_EQ(root->frame().size, size);
    const std::string tag = std::to_string(int(size.width));

    // The line fits its field, and the field, the indicators and the keyboard do not overlap.
    auto checkLayout = [&] {
        const Rect label = screen.typeStringLabel->frame();
        const Size text =
            TextMeasurer::current().size(screen.typeStringLabel->attributedStringValue());
        EXPECT_LE(text.width, label.width());
        EXPECT_TRUE(inside(label, root->bounds()));
        EXPECT_TRUE(inside(screen.keyboard->frame(), root->bounds()));
        EXPECT_FALSE(intersects(label, screen.keyboard->frame()));
        EXPECT_FALSE(intersects(label, screen.indicatorsView->frame()));
        EXPECT_TRUE(inside(screen.indicatorsView->frame(), root->bounds()));
    };

    // Real pauses, so the speeds shown are a person's: the line's clock is the real one.
    auto pause = [](double seconds) {
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    };
    app.typeExpected();
    pause(1.0);
    for (int i = 0; i < 2; ++i) app.typeExpected();
    app.type(app.wrongSymbolFor(*app.hub().textLine().expectedCharacter(false)));
    app.typeExpected();
    app.type(app.wrongSymbolFor(*app.hub().textLine().expectedCharacter(false)));
    app.loop.advance(1.0);
    EXPECT_EQ(screen.indicatorTypos->stringValue(), "2");
    checkLayout();
    save(root->snapshot(1.0), "typing_" + tag + "_midline");

    // Short lines from here on. The first ends with the Enter tip; the second, without typos,
    // raises the lesson and shows its deltas.
    auto typeShortLine = [&](const char* text, bool withTypo, double seconds) {
        app.hub().textLine().setText(text);
        screen.resizeUI();
        app.typeExpected();
        pause(seconds);
        if (withTypo) app.type(app.wrongSymbolFor(*app.hub().textLine().expectedCharacter(false)));
        while (!app.hub().textLine().isComplete()) ASSERT_TRUE(app.typeExpected());
    };
    app.key(test::kScanReturn);
    typeShortLine("eat a tattoo at a tea toe", true, 4.0);
    // The Enter tip: its icon on the panel, its key cap on the line of its text.
    ASSERT_TRUE(screen.hintView->isEnterHint());
    const WVHintView& tip = *screen.hintView;
    EXPECT_TRUE(inside(tip.iconView->frame(), tip.backgroundImage->frame()));
    EXPECT_TRUE(inside(tip.keyContainer->frame(), tip.backgroundImage->frame()));
    EXPECT_TRUE(inside(tip.scrollView->frame(), tip.backgroundImage->frame()));
    const Rect tipText = tip.scrollView->frame();
    EXPECT_NEAR(tipText.minY() + std::min(tipText.height(), tip.containerHeight) / 2,
                tip.keyContainer->frame().midY(), 1.5);
    save(root->snapshot(1.0), "typing_" + tag + "_enter_tip");
    app.key(test::kScanReturn);
    typeShortLine("a toe to tea at tote", false, 2.5);
    app.loop.advance(1.0);
    ASSERT_FALSE(screen.hintView->isHidden());
    EXPECT_EQ(screen.indicatorTyposDelta->stringValue(), "-1");
    EXPECT_EQ(screen.indicatorTyposDelta->alphaValue(), 1.0);
    checkLayout();
    const Rect hint = screen.hintView->frame();
    EXPECT_TRUE(inside(hint, root->bounds()));
    EXPECT_FALSE(intersects(hint, screen.typeStringLabel->frame()));
    EXPECT_FALSE(intersects(hint, screen.indicatorsView->frame()));
    // Under the keyboard, clear of the Return key that pulses beside it.
    EXPECT_LT(hint.midY(), screen.keyboard->frame().minY());
    const Rect returnKey = screen.keyboard->returnKey()->convertRectToView(
        screen.keyboard->returnKey()->bounds(), root);
    EXPECT_FALSE(intersects(hint, returnKey));
    save(root->snapshot(1.0), "typing_" + tag + "_finished");
}

INSTANTIATE_TEST_SUITE_P(Sizes, TypingScreenPictures,
                         ::testing::Values(Size{1100, 620}, Size{1650, 930}, Size{800, 500}),
                         [](const auto& info) { return std::to_string(int(info.param.width)); });

}  // namespace
}  // namespace wv
