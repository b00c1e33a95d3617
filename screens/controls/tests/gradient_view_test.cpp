#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <cmath>

#include "platform/ui/GradientLayer.h"
#include "screens/controls/WVGradientView.h"

namespace wv {
namespace {

QApplication& application() {
    static int argc = 1;
    static char name[] = "wv_screen_controls_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

int channel(double unit) { return int(std::lround(unit * 255)); }

// Within the rounding of an 8-bit channel and of a gradient step.
void expectNear(QColor pixel, const Color& expected, const char* where) {
    EXPECT_NEAR(pixel.red(), channel(expected.red), 2) << where;
    EXPECT_NEAR(pixel.green(), channel(expected.green), 2) << where;
    EXPECT_NEAR(pixel.blue(), channel(expected.blue), 2) << where;
}

TEST(GradientViewTest, TheLayerIsTheFixedVerticalGradient) {
    application();
    WVGradientView view(Rect(0, 0, 120, 80));
    auto* gradient = dynamic_cast<GradientLayer*>(view.layer());
    ASSERT_NE(gradient, nullptr);
    ASSERT_EQ(gradient->colors().size(), 2u);
    EXPECT_EQ(gradient->colors()[0], Color::rgb(0.1953125, 0.1953125, 0.23828125));
    EXPECT_EQ(gradient->colors()[1], Color::rgb(0.24609375, 0.25, 0.27734375));
    EXPECT_EQ(gradient->startPoint(), (Point{0, 0}));
    EXPECT_EQ(gradient->endPoint(), (Point{0, 1.0}));
    EXPECT_EQ(gradient->frame(), Rect(0, 0, 120, 80));
    EXPECT_EQ(gradient->autoresizingMask(), unsigned(Layer::WidthSizable | Layer::HeightSizable));
}

// Bottom edge the first colour, top edge the second, over the whole area also after a resize.
TEST(GradientViewTest, AResizedViewKeepsTheGradientOverItsWholeArea) {
    application();
    struct Case {
        Size size;
    };
    for (const Case& c : {Case{{120, 80}}, Case{{400, 300}}}) {
        WVGradientView view(Rect(0, 0, 60, 40));
        view.setFrameSize(c.size);
        EXPECT_EQ(view.layer()->frame(), Rect(Point{0, 0}, c.size));
        const QImage picture = view.snapshot();
        ASSERT_EQ(picture.size(), QSize(int(c.size.width), int(c.size.height)));
        const int right = picture.width() - 1, bottom = picture.height() - 1;
        expectNear(picture.pixelColor(0, bottom), WVGradientView::kBottomColor, "bottom left");
        expectNear(picture.pixelColor(right, bottom), WVGradientView::kBottomColor, "bottom right");
        expectNear(picture.pixelColor(0, 0), WVGradientView::kTopColor, "top left");
        expectNear(picture.pixelColor(right, 0), WVGradientView::kTopColor, "top right");
        // Halfway up, halfway between the two.
        const Color middle{
            (WVGradientView::kBottomColor.red + WVGradientView::kTopColor.red) / 2,
            (WVGradientView::kBottomColor.green + WVGradientView::kTopColor.green) / 2,
            (WVGradientView::kBottomColor.blue + WVGradientView::kTopColor.blue) / 2, 1};
        expectNear(picture.pixelColor(right / 2, bottom / 2), middle, "middle");
    }
}

}  // namespace
}  // namespace wv
