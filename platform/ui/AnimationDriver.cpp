#include "platform/ui/AnimationDriver.h"

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/ui/View.h"

namespace wv {

AnimationDriver& AnimationDriver::shared() {
    static AnimationDriver driver;
    return driver;
}

void AnimationDriver::watch(View* view) {
    if (!view) return;
    bool known = false;
    for (auto& v : views_) known = known || v == view;
    if (!known) views_.emplace_back(view);
    if (!isRunning()) schedule();
}

bool AnimationDriver::isRunning() const { return next_ && MainQueue::shared().isPending(*next_); }

void AnimationDriver::schedule() {
    bool fast = false;
    for (auto& view : views_) fast = fast || (view && view->animatesGeometry());
    next_ = MainQueue::shared().asyncAfter(fast ? kFastFrame : kSlowFrame, [this] { tick(); });
}

void AnimationDriver::tick() {
    next_.reset();
    ++frames_;
    auto views = std::move(views_);
    views_.clear();
    for (auto& view : views) {
        if (!view || !view->isOnScreen()) continue;
        view->applyPresentation(false);
        view->updateAnimatedRegion();
        if (view->hasRunningAnimations()) views_.push_back(view);
    }
    if (!views_.empty() && !isRunning()) schedule();
}

}  // namespace wv
