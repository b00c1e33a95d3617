#include <gtest/gtest.h>

#include "platform/ui/Window.h"
#include "screens/controls/WVVisualEffectView.h"
#include "screens/controls/tests/ControlsTestSupport.h"

namespace wv {
namespace {

class VisualEffectViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::application();
        test::registerSolidNamed("bg", Qt::white, Size{32, 32});
    }
};

int bgLayers(WVVisualEffectView& view) {
    int count = 0;
    for (const auto& sublayer : view.layer()->sublayers())
        if (sublayer->contents() == Image::named("bg")) ++count;
    return count;
}

TEST_F(VisualEffectViewTest, MovingBetweenWindowsKeepsOneTextureLayerOverTheDarkFill) {
    Window first(Rect(0, 0, 200, 100)), second(Rect(0, 0, 200, 100));
    auto* view = new WVVisualEffectView(Rect(0, 0, 200, 100));
    view->layer()->setBackgroundColor(Color::black());
    EXPECT_EQ(bgLayers(*view), 0) << "laid on when the view goes into a window";
    first.contentView()->addSubview(view);
    EXPECT_EQ(bgLayers(*view), 1);
    second.contentView()->addSubview(view);
    view->removeFromSuperview();
    first.contentView()->addSubview(view);
    EXPECT_EQ(bgLayers(*view), 1);
    EXPECT_EQ(view->transparentLayer->opacity(), 0.4f);
    EXPECT_EQ(view->transparentLayer->frame(), view->bounds());

    // White at 0.4 over black: 102 of 255, everywhere, and opaque.
    const QImage image = view->snapshot();
    for (QPoint p : {QPoint(1, 1), QPoint(100, 50), QPoint(198, 98)}) {
        const QColor c = image.pixelColor(p);
        EXPECT_NEAR(c.red(), 102, 3);
        EXPECT_EQ(c.alpha(), 255);
    }
    // A new size: the texture layer follows it, and the picture is made anew.
    view->setFrame(Rect(0, 0, 300, 150));
    EXPECT_EQ(view->transparentLayer->frame(), view->bounds());
    EXPECT_NEAR(view->snapshot().pixelColor(290, 140).red(), 102, 3);
}

}  // namespace
}  // namespace wv
