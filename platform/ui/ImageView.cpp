#include "platform/ui/ImageView.h"

#include "platform/ui/Graphics.h"

namespace wv {

ImageView::ImageView(const Rect& frame, ImagePtr image) : View(frame), image_(std::move(image)) {}

void ImageView::setImage(ImagePtr image) {
    image_ = std::move(image);
    setNeedsDisplay();
}

void ImageView::setImageScaling(ImageScaling scaling) {
    scaling_ = scaling;
    setNeedsDisplay();
}

void ImageView::draw(QPainter& painter, const Rect&) {
    if (image_) Graphics::drawImage(painter, *image_, scaledImageRect(image_->size(), bounds(), scaling_));
}

}  // namespace wv
