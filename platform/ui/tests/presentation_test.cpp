#include <gtest/gtest.h>

#include "platform/dispatch/ManualRunLoop.h"
#include "platform/ui/AnimationContext.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/tests/TestApplication.h"

namespace wv {
namespace {

// A sidebar slide in two phases, as the settings screen does it: place beyond the right edge
// while fading out, then slide in flush with the edge while fading in.
class SlideIn : public PresentationAnimator {
public:
    void animatePresentation(ViewController& presented, ViewController& from) override {
        View* p = presented.view();
        View* f = from.view();
        AnimationContext::runGroup(
            [&](AnimationContext&) {
                const Rect b = f->bounds();
                f->addSubview(p);
                p->animator().setAlphaValue(0.0);
                p->setFrame(Rect(b.maxX(), 0, p->bounds().width(), b.height()));
            },
            [p, f] {
                const Rect b = f->bounds();
                p->animator().setAlphaValue(1.0);
                p->animator().setFrame(Rect(b.maxX() - p->bounds().width(), b.minY(), p->frame().width(), p->frame().height()));
            });
    }
    void animateDismissal(ViewController& presented, ViewController&) override {
        View* p = presented.view();
        AnimationContext::runGroup(
            [&](AnimationContext&) {
                if (View* super = p->superview())
                    p->animator().setFrame(Rect(super->bounds().maxX(), 0, p->frame().width(), p->frame().height()));
            },
            [p] { p->removeFromSuperview(); });
    }
};

class Screen : public ViewController {
public:
    explicit Screen(Rect frame) : frame_(frame) {}
    int appeared = 0, disappeared = 0;
    void viewWillAppear() override { ++appeared; }
    void viewDidDisappear() override { ++disappeared; }

protected:
    void loadView() override { setView(new View(frame_)); }

private:
    Rect frame_;
};

TEST(ViewController, PresentsAndDismissesThroughItsAnimator) {
    test::application();
    ManualRunLoop loop;
    auto typing = std::make_shared<Screen>(Rect(0, 0, 1100, 620));
    auto sidebar = std::make_shared<Screen>(Rect(0, 0, 300, 620));
    typing->presentViewController(sidebar, std::make_shared<SlideIn>());
    ASSERT_EQ(typing->presentedViewControllers().size(), 1u);
    EXPECT_EQ(sidebar->presentingViewController(), typing.get());
    EXPECT_EQ(sidebar->view()->superview(), typing->view());
    EXPECT_EQ(sidebar->view()->frame(), Rect(1100, 0, 300, 620));
    EXPECT_EQ(sidebar->appeared, 1);

    loop.advance(AnimationContext::kDefaultDuration);
    loop.advance(AnimationContext::kDefaultDuration / 2);
    const Rect halfway = sidebar->view()->presentationFrame();
    EXPECT_GT(halfway.x(), 800);
    EXPECT_LT(halfway.x(), 1100);
    loop.advance(AnimationContext::kDefaultDuration / 2);
    EXPECT_EQ(sidebar->view()->presentationFrame(), Rect(800, 0, 300, 620));
    EXPECT_DOUBLE_EQ(sidebar->view()->presentationAlpha(), 1.0);

    sidebar->dismissController();
    EXPECT_TRUE(typing->presentedViewControllers().empty());
    EXPECT_EQ(sidebar->view()->superview(), typing->view()) << "still sliding out";
    loop.advance(AnimationContext::kDefaultDuration);
    EXPECT_EQ(sidebar->view()->superview(), nullptr);
    EXPECT_EQ(sidebar->disappeared, 1);

    // The same controller can be presented again.
    typing->presentViewController(sidebar, std::make_shared<SlideIn>());
    EXPECT_EQ(sidebar->view()->frame(), Rect(1100, 0, 300, 620));
    typing->dismissViewController(sidebar.get());
    loop.advance(1.0);
}

TEST(ViewController, LoadsItsViewOnceOnFirstUse) {
    test::application();
    struct Counting : ViewController {
        int loads = 0;
        void viewDidLoad() override { ++loads; }
    } controller;
    EXPECT_FALSE(controller.isViewLoaded());
    View* view = controller.view();
    EXPECT_EQ(controller.view(), view);
    EXPECT_EQ(controller.loads, 1);
    EXPECT_EQ(view->viewController(), &controller);
}

}  // namespace
}  // namespace wv
