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
    if (!scheduled_) schedule();
}

void AnimationDriver::schedule() {
    bool fast = false;
    for (auto& view : views_) fast = fast || (view && view->animatesGeometry());
    scheduled_ = true;
    MainQueue::shared().asyncAfter(fast ? kFastFrame : kSlowFrame, [this] { tick(); });
}

void AnimationDriver::tick() {
    scheduled_ = false;
    ++frames_;
    auto views = std::move(views_);
    views_.clear();
    for (auto& view : views) {
        if (!view || !view->isOnScreen()) continue;
        view->applyPresentation(false);
        view->updateAnimatedRegion();
        if (view->hasRunningAnimations()) views_.push_back(view);
    }
    if (!views_.empty() && !scheduled_) schedule();
}

}  // namespace wv
