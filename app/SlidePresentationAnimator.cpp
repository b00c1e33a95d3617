#include "app/SlidePresentationAnimator.h"

#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"

namespace wv {

namespace {
constexpr double kSidebarWidth = 320;
}

void SlidePresentationAnimator::animatePresentation(ViewController& presented,
                                                    ViewController& from) {
    View* host = from.view();
    View* view = presented.view();
    const Rect bounds = host->bounds();
    Rect target = bounds;
    Rect start = bounds.offsetBy(0, -bounds.height());
    if (edge_ == Edge::Right) {
        target = Rect(bounds.width() - kSidebarWidth, 0, kSidebarWidth, bounds.height());
        start = target.offsetBy(kSidebarWidth, 0);
    }
    view->setFrame(start);
    view->setAutoresizingMask(edge_ == Edge::Right ? View::MinXMargin | View::HeightSizable
                                                   : View::WidthSizable | View::HeightSizable);
    host->addSubview(view);
    view->animator().setFrame(target);
    if (onOpenedChanged) onOpenedChanged(true);
}

void SlidePresentationAnimator::animateDismissal(ViewController& presented, ViewController&) {
    if (View* view = presented.view()) view->removeFromSuperview();
    if (onOpenedChanged) onOpenedChanged(false);
}

}  // namespace wv
