#include <gtest/gtest.h>

#include "app/SlideStatsPresentationAnimator.h"
#include "app/tests/AppTestSupport.h"
#include "platform/dispatch/ManualRunLoop.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"

namespace wv {
namespace {

class SlideStatsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::application();
        typing = std::make_shared<ViewController>();
        typing->setView(new View(Rect(0, 0, 900, 600)));
        stats = std::make_shared<ViewController>();
        stats->setView(new View(Rect(0, 0, 1100, 620)));
    }
    void present() {
        auto animator = std::make_shared<SlideStatsPresentationAnimator>();
        animator->onOpenedChanged = [this](bool opened) { flags.push_back(opened); };
        typing->presentViewController(stats, animator);
    }

    ManualRunLoop loop;
    std::shared_ptr<ViewController> typing, stats;
    std::vector<bool> flags;
};

// Phase one puts the screen beyond the right edge; phase two, one default duration later,
// slides it over the typing screen, and the screen counts as open from its start.
TEST_F(SlideStatsTest, TwoPhasesInFromTheRightEdge) {
    present();
    View* view = stats->view();
    EXPECT_EQ(view->superview(), typing->view());
    EXPECT_EQ(view->frame(), Rect(900, 0, 900, 600));
    EXPECT_EQ(view->alphaValue(), 0.0);
    EXPECT_TRUE(flags.empty());
    loop.advance(0.2);
    EXPECT_TRUE(flags.empty());
    loop.advance(0.05);
    EXPECT_EQ(flags, std::vector<bool>{true});
    EXPECT_EQ(view->frame(), Rect(0, 0, 900, 600));
    EXPECT_EQ(view->alphaValue(), 1.0);
    EXPECT_TRUE(view->hasRunningAnimations()) << "the slide itself still runs";
    EXPECT_GT(view->presentationFrame().x(), 0);
    loop.advance(0.25);
    EXPECT_EQ(view->presentationFrame(), Rect(0, 0, 900, 600));

    typing->view()->setFrameSize(Size{1000, 700});
    EXPECT_EQ(view->frame(), Rect(0, 0, 1000, 700)) << "it follows the typing screen";
}

// Out to the right, then taken away; presenting again repeats both phases.
TEST_F(SlideStatsTest, OutToTheRightAndAgain) {
    present();
    loop.advance(0.5);
    typing->dismissViewController(stats.get());
    View* view = stats->view();
    EXPECT_EQ(view->frame(), Rect(900, 0, 900, 600));
    EXPECT_EQ(view->superview(), typing->view()) << "still sliding";
    EXPECT_EQ(flags, std::vector<bool>{true});
    loop.advance(0.25);
    EXPECT_EQ(view->superview(), nullptr);
    EXPECT_EQ(flags, (std::vector<bool>{true, false}));

    present();
    EXPECT_EQ(view->frame(), Rect(900, 0, 900, 600));
    loop.advance(0.25);
    EXPECT_EQ(view->frame(), Rect(0, 0, 900, 600));
    EXPECT_EQ(flags, (std::vector<bool>{true, false, true}));
}

}  // namespace
}  // namespace wv
