// The sidebar's two-phase slide: placed beyond the right edge, then slid in flush with it;
// slid out and removed on dismissal, with the open flag following the phases.
#include <gtest/gtest.h>

#include <vector>

#include "app/SlidePresentationAnimator.h"
#include "app/tests/AppTestSupport.h"
#include "platform/dispatch/ManualRunLoop.h"
#include "platform/ui/AnimationContext.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"

namespace wv {
namespace {

class SizedController : public ViewController {
  public:
    explicit SizedController(Size size) : size_(size) {}

  protected:
    void loadView() override { setView(new View(Rect(0, 0, size_.width, size_.height))); }

  private:
    Size size_;
};

struct Stage {
    ManualRunLoop loop;
    std::shared_ptr<SizedController> screen = std::make_shared<SizedController>(Size{1100, 620});
    std::shared_ptr<SizedController> sidebar = std::make_shared<SizedController>(Size{300, 500});
    std::vector<bool> flags;

    void present() {
        auto animator = std::make_shared<SlidePresentationAnimator>();
        animator->onOpenedChanged = [this](bool opened) { flags.push_back(opened); };
        screen->presentViewController(sidebar, animator);
    }
    void step() { loop.advance(AnimationContext::kDefaultDuration); }
};

class SlidePresentationAnimatorTest : public ::testing::Test {
  protected:
    void SetUp() override { test::application(); }
};

TEST_F(SlidePresentationAnimatorTest, SlidesInInTwoPhasesAndOutAgainEachTimeItIsPresented) {
    Stage stage;
    View* screenView = stage.screen->view();
    for (int round = 0; round < 2; ++round) {
        stage.flags.clear();
        stage.present();
        View* sidebar = stage.sidebar->view();
        ASSERT_EQ(sidebar->superview(), screenView);
        EXPECT_EQ(screenView->subviews().back(), sidebar) << "on top of the screen's views";
        EXPECT_EQ(sidebar->frame(), Rect(1100, 0, 300, 620)) << "round " << round;
        EXPECT_TRUE(stage.flags.empty()) << "not open while it only waits beyond the edge";

        stage.step();
        EXPECT_EQ(stage.flags, std::vector<bool>{true}) << "open as the slide-in starts";
        EXPECT_EQ(sidebar->frame(), Rect(800, 0, 300, 620));
        EXPECT_DOUBLE_EQ(sidebar->alphaValue(), 1.0);
        EXPECT_TRUE(sidebar->hasRunningAnimations());
        stage.step();
        EXPECT_EQ(sidebar->presentationFrame(), Rect(800, 0, 300, 620));

        stage.screen->dismissViewController(stage.sidebar.get());
        EXPECT_EQ(sidebar->frame(), Rect(1100, 0, 300, 620));
        EXPECT_EQ(sidebar->superview(), screenView) << "still there while it slides out";
        EXPECT_EQ(stage.flags, std::vector<bool>{true});
        stage.step();
        EXPECT_EQ(sidebar->superview(), nullptr);
        EXPECT_EQ(stage.flags, (std::vector<bool>{true, false}));
    }
}

TEST_F(SlidePresentationAnimatorTest, PresentedAgainWhileSlidingOutItStaysAndStaysOpen) {
    Stage stage;
    stage.present();
    stage.step();
    stage.screen->dismissViewController(stage.sidebar.get());
    stage.present();  // before the slide-out has ended
    stage.step();
    stage.step();
    EXPECT_EQ(stage.sidebar->view()->superview(), stage.screen->view());
    EXPECT_EQ(stage.flags.back(), true);
    EXPECT_EQ(stage.sidebar->view()->frame(), Rect(800, 0, 300, 620));
}

TEST_F(SlidePresentationAnimatorTest, ASidebarDismissedBeforeItsSlideInNeverCountsAsOpen) {
    Stage stage;
    stage.present();
    stage.screen->dismissViewController(stage.sidebar.get());
    stage.step();
    stage.step();
    EXPECT_EQ(stage.sidebar->view()->superview(), nullptr);
    EXPECT_EQ(stage.flags, std::vector<bool>{false});
}

}  // namespace
}  // namespace wv
