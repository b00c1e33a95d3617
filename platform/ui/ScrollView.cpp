#include "platform/ui/ScrollView.h"

#include <algorithm>

namespace wv {

ScrollView::ScrollView(const Rect& frame) : View(frame) {
    clip_ = new View(bounds());
    clip_->setAutoresizingMask(WidthSizable | HeightSizable);
    addSubview(clip_);
}

void ScrollView::setDocumentView(View* view) {
    if (document_ == view) return;
    delete document_;
    document_ = view;
    if (!view) return;
    clip_->setFlipped(view->isFlipped());
    clip_->addSubview(view);
    scrollToPoint(Point{0, 0});
}

Rect ScrollView::documentVisibleRect() const {
    const Size clip = clip_->frame().size;
    if (!document_) return Rect(Point{0, 0}, clip);
    return Rect(-document_->frame().x(), -document_->frame().y(), clip.width, clip.height);
}

void ScrollView::scrollToPoint(Point origin) {
    if (!document_) return;
    const Size clip = clip_->frame().size, doc = document_->frame().size;
    origin.x = std::clamp(origin.x, 0.0, std::max(0.0, doc.width - clip.width));
    origin.y = std::clamp(origin.y, 0.0, std::max(0.0, doc.height - clip.height));
    document_->setFrameOrigin(Point{-origin.x, -origin.y});
}

ScrollView* ScrollView::enclosing(const View* view) {
    for (View* v = view ? view->superview() : nullptr; v; v = v->superview())
        if (auto* scroll = dynamic_cast<ScrollView*>(v)) return scroll;
    return nullptr;
}

void ScrollView::scrollWheel(const MouseEvent& event) {
    const Rect visible = documentVisibleRect();
    const double dy = clip_->isFlipped() ? -event.scrollingDeltaY : event.scrollingDeltaY;
    scrollToPoint(Point{visible.x() - event.scrollingDeltaX, visible.y() + dy});
}

void ScrollView::frameSizeChanged(Size) {
    if (document_) scrollToPoint(documentVisibleRect().origin);
}

}  // namespace wv
