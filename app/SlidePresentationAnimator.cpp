#include "app/SlidePresentationAnimator.h"

#include <QPointer>

#include "platform/ui/AnimationContext.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"

namespace wv {

void SlidePresentationAnimator::animatePresentation(ViewController& presented,
                                                    ViewController& from) {
    if (edge_ == Edge::Right) return presentSidebar(presented, from);
    View* host = from.view();
    View* view = presented.view();
    const Rect bounds = host->bounds();
    view->setFrame(bounds.offsetBy(0, -bounds.height()));
    view->setAutoresizingMask(View::WidthSizable | View::HeightSizable);
    host->addSubview(view);
    view->animator().setFrame(bounds);
    if (onOpenedChanged) onOpenedChanged(true);
}

void SlidePresentationAnimator::animateDismissal(ViewController& presented, ViewController&) {
    if (edge_ == Edge::Right) return dismissSidebar(presented);
    if (View* view = presented.view()) view->removeFromSuperview();
    if (onOpenedChanged) onOpenedChanged(false);
}

void SlidePresentationAnimator::presentSidebar(ViewController& presented, ViewController& from) {
    QPointer<View> host = from.view();
    QPointer<View> view = presented.view();
    std::weak_ptr<ViewController> controller = presented.shared_from_this();
    AnimationContext::runGroup(
        [&](AnimationContext&) {
            const Rect b = host->bounds();
            host->addSubview(view);
            view->animator().setAlphaValue(0.0);
            view->setFrame(Rect(b.maxX(), 0, view->bounds().width(), b.height()));
            // It keeps to the right edge and the full height while the window changes size.
            view->setAutoresizingMask(View::MinXMargin | View::HeightSizable);
        },
        // The animator is kept by the presentation only until the dismissal, which may come
        // first: what runs later holds only what it needs.
        [host, view, controller, opened = onOpenedChanged] {
            auto stillPresented = controller.lock();
            if (!host || !view || view->superview() != host || !stillPresented ||
                !stillPresented->presentingViewController())
                return;
            AnimationContext::runGroup([&](AnimationContext&) {
                const Rect b = host->bounds();
                const Rect f = view->frame();
                view->animator().setAlphaValue(1.0);
                view->animator().setFrame(
                    Rect(b.maxX() - view->bounds().width(), b.minY(), f.width(), f.height()));
            });
            if (opened) opened(true);
        });
}

void SlidePresentationAnimator::dismissSidebar(ViewController& presented) {
    QPointer<View> view = presented.view();
    std::weak_ptr<ViewController> controller = presented.shared_from_this();
    AnimationContext::runGroup(
        [&](AnimationContext&) {
            view->animator().setAlphaValue(1.0);
            if (View* superview = view->superview()) {
                const Rect f = view->frame();
                view->animator().setFrame(
                    Rect(superview->bounds().maxX(), 0, f.width(), f.height()));
            }
        },
        [view, controller, opened = onOpenedChanged] {
            // Presented again while it slid out: the new presentation owns the view now.
            auto presentedAgain = controller.lock();
            if (presentedAgain && presentedAgain->presentingViewController()) return;
            if (view) view->removeFromSuperview();
            if (opened) opened(false);
        });
}

}  // namespace wv
