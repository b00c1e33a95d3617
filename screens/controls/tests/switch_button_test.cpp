#include <gtest/gtest.h>

#include "screens/controls/WVSwitchButton.h"
#include "screens/controls/tests/ControlsTestSupport.h"

namespace wv {
namespace {

class SwitchButtonTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::application();
        test::registerSolidNamed("switchOFFSidebar", Qt::darkGray);
        test::registerSolidNamed("switchONSidebar", Qt::green);
        test::registerSolidNamed("switchOFFSidebarDimmed", Qt::gray);
        test::registerSolidNamed("switchONSidebarDimmed", Qt::darkGreen);
    }
};

struct SwitchCase {
    bool enabled;
    int state;
    const char* shown;
    QColor colour;
};

TEST_F(SwitchButtonTest, ShowsThePictureOfItsStateFromThePairOfItsEnabledFlag) {
    const SwitchCase cases[] = {
        {true, 0, "switchOFFSidebar", Qt::darkGray},
        {true, 1, "switchONSidebar", Qt::green},
        {false, 0, "switchOFFSidebarDimmed", Qt::gray},
        {false, 1, "switchONSidebarDimmed", Qt::darkGreen},
    };
    for (const SwitchCase& c : cases) {
        WVSwitchButton button(Rect(0, 0, 40, 20));
        button.setButtonType(ButtonType::Switch);
        button.setState(c.state);
        button.setEnabled(c.enabled);
        EXPECT_EQ(button.isEnabled(), c.enabled);
        EXPECT_EQ(button.currentImage(), Image::named(c.shown)) << c.shown;
        // Its own dimmed pictures, drawn at full strength.
        EXPECT_TRUE(test::near(button.snapshot().pixelColor(20, 10), c.colour)) << c.shown;
    }
}

TEST_F(SwitchButtonTest, DisablingAndEnablingAgainSwapsBothPictures) {
    WVSwitchButton button(Rect(0, 0, 40, 20));
    button.setButtonType(ButtonType::Switch);
    EXPECT_EQ(button.image(), nullptr) << "no pictures until the flag is set";
    button.setState(1);
    button.setEnabled(false);
    EXPECT_EQ(button.image(), Image::named("switchOFFSidebarDimmed"));
    EXPECT_EQ(button.alternateImage(), Image::named("switchONSidebarDimmed"));
    button.setEnabled(true);
    button.setEnabled(true);
    EXPECT_EQ(button.image(), Image::named("switchOFFSidebar"));
    EXPECT_EQ(button.alternateImage(), Image::named("switchONSidebar"));
    EXPECT_EQ(button.currentImage(), Image::named("switchONSidebar"));
}

}  // namespace
}  // namespace wv
