#include "platform/ui/ButtonCell.h"

#include "platform/ui/Button.h"
#include "platform/ui/Graphics.h"
#include "platform/ui/TextMeasurer.h"

namespace wv {

void ButtonCell::drawWithFrame(QPainter& painter, const Rect& frame, Button& button) {
    drawInteriorWithFrame(painter, frame, button);
}

void ButtonCell::drawInteriorWithFrame(QPainter& painter, const Rect& frame, Button& button) {
    if (ImagePtr image = button.currentImage()) drawImage(painter, *image, imageRectForBounds(frame, button), button);
    const AttributedString title = button.attributedTitle();
    if (!title.empty()) drawTitle(painter, title, titleRectForBounds(frame, button), button);
}

void ButtonCell::drawImage(QPainter& painter, const Image& image, const Rect& frame, Button& button) {
    const double fraction = button.isEnabled() || !button.imageDimsWhenDisabled() ? 1.0 : 0.5;
    Graphics::drawImage(painter, image, frame, fraction);
}

Rect ButtonCell::drawTitle(QPainter& painter, const AttributedString& title, const Rect& frame, Button&) {
    const Rect used = TextMeasurer::current().usedRect(title, frame.size);
    const Rect r(frame.x(), frame.y() + (frame.height() - used.height()) / 2, frame.width(), used.height());
    Graphics::drawText(painter, title, r, false);
    return r;
}

Rect ButtonCell::imageRectForBounds(const Rect& bounds, Button& button) const {
    ImagePtr image = button.currentImage();
    return image ? scaledImageRect(image->size(), bounds, button.imageScaling()) : bounds;
}

Rect ButtonCell::titleRectForBounds(const Rect& bounds, Button&) const { return bounds; }

}  // namespace wv
