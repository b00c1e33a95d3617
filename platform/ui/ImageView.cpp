#include "platform/ui/ImageView.h"

#include <QPaintEvent>
#include <algorithm>

#include "platform/ui/Graphics.h"

namespace wv {

ImageView::ImageView(const Rect& frame, ImagePtr image) : View(frame), image_(std::move(image)) {}

void ImageView::setImage(ImagePtr image) {
    if (image == image_) return;
    // Only where either picture has pixels: a hand's finger pictures are as large as the hand
    // and lie over the keyboard, and all of that would be drawn again for one finger.
    const Rect changed = drawnRect(image_.get()).united(drawnRect(image.get()));
    image_ = std::move(image);
    if (!changed.isEmpty()) setNeedsDisplayInRect(changed);
}

Rect ImageView::drawnRect(const Image* image) const {
    if (!image) return Rect();
    const Size natural = image->size();
    const Rect drawn = image->drawnBounds();
    if (drawn.isEmpty() || natural.width <= 0 || natural.height <= 0) return Rect();
    const Rect at = scaledImageRect(natural, bounds(), scaling_);
    const double kx = at.width() / natural.width, ky = at.height() / natural.height;
    // The picture lies upright in the view: its top is the view's top unless the view grows
    // upward. A picture drawn at another size than its natural one may spread a little more
    // (antialiased edges, corners kept at their size), hence the margin.
    const double top =
        isFlipped() ? at.y() + drawn.y() * ky : at.maxY() - (drawn.y() + drawn.height()) * ky;
    const double margin = 2 + 0.02 * std::max(at.width(), at.height());
    return Rect(at.x() + drawn.x() * kx - margin, top - margin, drawn.width() * kx + 2 * margin,
                drawn.height() * ky + 2 * margin);
}

void ImageView::setImageScaling(ImageScaling scaling) {
    scaling_ = scaling;
    setNeedsDisplay();
}

void ImageView::viewWillMoveToWindow(Window* newWindow) {
    View::viewWillMoveToWindow(newWindow);
    prepareImage(newWindow);
}

void ImageView::frameSizeChanged(Size oldSize) {
    View::frameSizeChanged(oldSize);
    prepareImage(window());
}

// The window's first paint draws every picture in it, one after another; said as soon as the
// view has its window and its size, while the rest of the window is built, a picture can be
// drawn by then.
void ImageView::prepareImage(Window* window) {
    if (painted_ || window == nullptr || !image_ || isHidden()) return;
    const Rect at = scaledImageRect(image_->size(), bounds(), scaling_);
    if (at.width() > 0 && at.height() > 0) image_->prepare(at.size, devicePixelRatioF());
}

void ImageView::paintEvent(QPaintEvent* event) {
    painted_ = true;
    // A picture with pixels over only part of the view (a finger over its whole hand's place)
    // has nothing to draw where a neighbour asked for paint: no painter is set up for it.
    // Finding that part draws the picture once at its natural size; a paint that has to draw
    // the picture anyway (the window's first) does not wait for that: only a picture whose
    // part is known already is passed over. The first change of picture finds it.
    if (!wantsLayer() && (!image_ || image_->knowsDrawnBounds())) {
        const Rect r = drawnRect(image_.get());
        const double top = isFlipped() ? r.y() : frame().height() - r.y() - r.height();
        const QRectF drawn(r.x(), top, r.width(), r.height());
        if (!drawn.intersects(QRectF(event->rect()))) {
            setNeedsDisplay(false);
            return;
        }
    }
    View::paintEvent(event);
}

void ImageView::draw(QPainter& painter, const Rect&) {
    if (image_)
        Graphics::drawImage(painter, *image_, scaledImageRect(image_->size(), bounds(), scaling_));
}

}  // namespace wv
