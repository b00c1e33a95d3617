#include "app/SlideStatsPresentationAnimator.h"

#include <QPointer>

#include "platform/ui/AnimationContext.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"

namespace wv {

void SlideStatsPresentationAnimator::animatePresentation(ViewController& presented,
                                                         ViewController& from) {
    View* host = from.view();
    View* view = presented.view();
    if (!host || !view) return;
    QPointer<View> guard = view;
    AnimationContext::runGroup([&](AnimationContext&) { placeBeyondRightEdge(*view, *host); },
                               [guard, opened = onOpenedChanged] {
                                   if (guard) slideIn(*guard, opened);
                               });
}

void SlideStatsPresentationAnimator::placeBeyondRightEdge(View& view, View& host) {
    const Rect b = host.bounds();
    host.addSubview(&view);
    view.animator().setAlphaValue(0.0);
    view.setFrame(Rect(b.maxX(), b.y(), b.width(), b.height()));
    view.setAutoresizingMask(View::WidthSizable | View::HeightSizable);
}

void SlideStatsPresentationAnimator::slideIn(View& view, const OpenedChanged& openedChanged) {
    AnimationContext::runGroup([&](AnimationContext&) {
        view.animator().setAlphaValue(1.0);
        const Rect f = view.frame();
        view.animator().setFrame(Rect(0, f.y(), f.width(), f.height()));
        if (openedChanged) openedChanged(true);
    });
}

void SlideStatsPresentationAnimator::animateDismissal(ViewController& presented, ViewController&) {
    View* view = presented.view();
    if (!view) return;
    QPointer<View> guard = view;
    AnimationContext::runGroup([&](AnimationContext&) { slideOut(*view); },
                               [guard, opened = onOpenedChanged] {
                                   if (guard) finishDismissal(*guard, opened);
                               });
}

void SlideStatsPresentationAnimator::slideOut(View& view) {
    view.animator().setAlphaValue(1.0);
    if (View* superview = view.superview()) {
        const Rect f = view.frame();
        view.animator().setFrame(Rect(superview->bounds().maxX(), 0, f.width(), f.height()));
    }
}

void SlideStatsPresentationAnimator::finishDismissal(View& view,
                                                     const OpenedChanged& openedChanged) {
    view.removeFromSuperview();
    if (openedChanged) openedChanged(false);
}

}  // namespace wv
