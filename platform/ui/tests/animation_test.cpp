#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "platform/dispatch/ManualRunLoop.h"
#include "platform/ui/AnimationContext.h"
#include "platform/ui/Layer.h"
#include "platform/ui/TimingFunction.h"
#include "platform/ui/View.h"
#include "platform/ui/tests/TestApplication.h"

namespace wv {
namespace {

// The ease-in-ease-out curve computed independently: bisection on the Bézier's x.
double easeInEaseOut(double x) {
    auto bez = [](double a, double b, double t) { return 3 * (1 - t) * (1 - t) * t * a + 3 * (1 - t) * t * t * b + t * t * t; };
    double lo = 0, hi = 1;
    for (int i = 0; i < 200; ++i) {
        const double mid = (lo + hi) / 2;
        (bez(0.42, 0.58, mid) < x ? lo : hi) = mid;
    }
    return bez(0.0, 1.0, (lo + hi) / 2);
}

TEST(TimingFunction, EndsAndSymmetryOfEaseInEaseOut) {
    const auto f = TimingFunction::easeInEaseOut();
    EXPECT_DOUBLE_EQ(f.valueAt(0), 0);
    EXPECT_DOUBLE_EQ(f.valueAt(1), 1);
    EXPECT_NEAR(f.valueAt(0.5), 0.5, 1e-9);
    for (double x : {0.1, 0.25, 0.3, 0.7, 0.9}) {
        EXPECT_NEAR(f.valueAt(x), easeInEaseOut(x), 1e-7) << x;
        EXPECT_NEAR(f.valueAt(x) + f.valueAt(1 - x), 1.0, 1e-7) << x;
    }
    EXPECT_LT(f.valueAt(0.25), 0.25) << "slow start";
    EXPECT_NEAR(TimingFunction::linear().valueAt(0.3), 0.3, 1e-9);
}

// The key pulse: opacity 0.7 -> 0.2 over 0.75 s, ease-in-ease-out, reversing, endless.
Animation pulse() {
    Animation a;
    a.keyPath = "opacity";
    a.from = 0.7;
    a.to = 0.2;
    a.duration = 0.75;
    a.timing = TimingFunction::easeInEaseOut();
    a.autoreverses = true;
    a.repeatCount = FLT_MAX;
    return a;
}

TEST(Layer, PresentationOpacityFollowsEaseInEaseOutWithAutoreverse) {
    ManualRunLoop loop;
    auto layer = std::make_shared<Layer>();
    layer->setOpacity(1.0);
    layer->addAnimation(pulse(), "opacity");
    struct Probe {
        double t;
        double expected;
    };
    const double q = 0.7 - 0.5 * easeInEaseOut(0.25);
    const Probe probes[] = {
        {0.0, 0.7},       {0.1875, q},       {0.375, 0.45},    {0.75, 0.2},
        {0.9375, 0.2 + 0.5 * easeInEaseOut(0.25)},  // on the way back
        {1.125, 0.45},    {1.5, 0.7},        {1.6875, q},      {75.0 * 1.5 + 0.375, 0.45},
    };
    double elapsed = 0;
    for (const Probe& p : probes) {
        loop.advance(p.t - elapsed);
        elapsed = p.t;
        EXPECT_NEAR(layer->presentationOpacity(), p.expected, 1e-6) << "at " << p.t;
        EXPECT_DOUBLE_EQ(layer->opacity(), 1.0) << "the model value stays";
    }
    EXPECT_TRUE(layer->hasRunningAnimations());
}

TEST(Layer, RemovingAnimationsRestoresTheModelValue) {
    ManualRunLoop loop;
    auto layer = std::make_shared<Layer>();
    layer->setOpacity(0.9);
    int stopped = 0;
    bool finishedFlag = true;
    Animation a = pulse();
    a.completion = [&](bool finished) {
        ++stopped;
        finishedFlag = finished;
    };
    layer->addAnimation(a, "opacity");
    loop.advance(0.3);
    EXPECT_LT(layer->presentationOpacity(), 0.7);
    layer->removeAllAnimations();
    EXPECT_DOUBLE_EQ(layer->presentationOpacity(), 0.9);
    EXPECT_TRUE(layer->animationKeys().empty());
    EXPECT_EQ(stopped, 1);
    EXPECT_FALSE(finishedFlag);
}

TEST(Layer, FiniteAnimationEndsAtTheModelValueAndReportsCompletion) {
    ManualRunLoop loop;
    auto layer = std::make_shared<Layer>();
    layer->setOpacity(1.0);
    Animation fade;
    fade.keyPath = "opacity";
    fade.from = 0.6;
    fade.to = 0.0;
    fade.duration = 3.2;
    fade.timing = TimingFunction::easeInEaseOut();
    std::optional<bool> finished;
    fade.completion = [&](bool f) { finished = f; };
    layer->addAnimation(fade, "opacity");
    loop.advance(1.6);
    EXPECT_NEAR(layer->presentationOpacity(), 0.3, 1e-6);
    EXPECT_FALSE(finished.has_value());
    loop.advance(1.6);
    EXPECT_EQ(finished, std::optional<bool>(true));
    EXPECT_EQ(layer->animationForKey("opacity"), nullptr);
    EXPECT_DOUBLE_EQ(layer->presentationOpacity(), 1.0);
}

TEST(Layer, SameKeyReplacesAndRepeatCountLimitsCycles) {
    ManualRunLoop loop;
    auto layer = std::make_shared<Layer>();
    Animation a;
    a.keyPath = "backgroundColor";
    layer->setBackgroundColor(Color::black());
    a.from = Color::black();
    a.to = Color::white();
    a.duration = 1.0;
    a.repeatCount = 2;
    layer->addAnimation(a, "c");
    layer->addAnimation(a, "c");
    EXPECT_EQ(layer->animationKeys().size(), 1u);
    loop.advance(1.5);
    EXPECT_NEAR(layer->presentationBackgroundColor()->red, 0.5, 1e-9) << "second cycle, halfway";
    loop.advance(0.6);
    EXPECT_EQ(*layer->presentationBackgroundColor(), Color::black()) << "over after two cycles";
}

TEST(ViewAnimator, GroupAnimatesFrameAndAlphaThenRunsCompletion) {
    test::application();
    ManualRunLoop loop;
    View root(Rect(0, 0, 1100, 620));
    auto* panel = new View(Rect(1100, 0, 300, 620));
    root.addSubview(panel);
    bool done = false;
    AnimationContext::runGroup(
        [&](AnimationContext& context) {
            context.setDuration(0.5);
            context.setTiming(TimingFunction::linear());
            panel->animator().setFrameOrigin(Point{800, 0});
            panel->animator().setAlphaValue(0.0);
        },
        [&] { done = true; });
    EXPECT_EQ(panel->frame(), Rect(800, 0, 300, 620)) << "the model value is the target at once";
    EXPECT_EQ(panel->presentationFrame(), Rect(1100, 0, 300, 620));
    loop.advance(0.25);
    EXPECT_EQ(panel->presentationFrame(), Rect(950, 0, 300, 620));
    EXPECT_NEAR(panel->presentationAlpha(), 0.5, 1e-9);
    panel->applyPresentation(false);
    EXPECT_EQ(panel->geometry().x(), 950);
    EXPECT_FALSE(done);
    loop.advance(0.25);
    EXPECT_TRUE(done);
    EXPECT_EQ(panel->presentationFrame(), Rect(800, 0, 300, 620));
    EXPECT_FALSE(panel->hasRunningAnimations());
}

TEST(ViewAnimator, OutsideAGroupUsesTheDefaultDuration) {
    test::application();
    ManualRunLoop loop;
    View view(Rect(0, 0, 10, 10));
    view.animator().setAlphaValue(0.0);
    loop.advance(AnimationContext::kDefaultDuration / 2);
    EXPECT_GT(view.presentationAlpha(), 0.0);
    EXPECT_LT(view.presentationAlpha(), 1.0);
    loop.advance(AnimationContext::kDefaultDuration / 2);
    EXPECT_DOUBLE_EQ(view.presentationAlpha(), 0.0);
}

TEST(ViewAnimator, WithoutAnimationChangesTakeEffectAtOnce) {
    test::application();
    ManualRunLoop loop;
    View view(Rect(0, 0, 10, 10));
    AnimationContext::withoutAnimation([&] { view.animator().setFrameOrigin(Point{0, 40}); });
    EXPECT_EQ(view.presentationFrame(), Rect(0, 40, 10, 10));
    EXPECT_FALSE(view.hasRunningAnimations());
}

}  // namespace
}  // namespace wv
