#include <gtest/gtest.h>

#include <QTest>
#include <memory>

#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "screens/controls/WVFlippedView.h"
#include "screens/controls/tests/ControlsTestSupport.h"

namespace wv {
namespace {

class Recording : public ViewController {
  public:
    int presses = 0;
    void mouseDown(const MouseEvent&) override { ++presses; }
};

class FlippedViewTest : public ::testing::Test {
  protected:
    void SetUp() override { test::application(); }
};

TEST_F(FlippedViewTest, LaysOutFromTheTopAndKeepsPressesFromWhatIsBehindIt) {
    struct Case {
        const char* name;
        bool flipped;
        int reachesBehind;
    };
    for (const Case& c : {Case{"plain view", false, 1}, Case{"flipped view", true, 0}}) {
        auto controller = std::make_shared<Recording>();
        controller->setView(new View(Rect(0, 0, 200, 100)));
        View* inner =
            c.flipped ? new WVFlippedView(Rect(0, 0, 100, 100)) : new View(Rect(0, 0, 100, 100));
        controller->view()->addSubview(inner);
        auto* child = new View(Rect(0, 10, 20, 20));
        inner->addSubview(child);
        EXPECT_EQ(inner->isFlipped(), c.flipped);
        EXPECT_EQ(child->geometry().y(), c.flipped ? 10 : 70) << c.name;
        QTest::mousePress(inner, Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
        QTest::mouseRelease(inner, Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
        EXPECT_EQ(controller->presses, c.reachesBehind) << c.name;
    }
}

}  // namespace
}  // namespace wv
