#include "platform/ui/ImageScaling.h"

#include <algorithm>

namespace wv {

Rect scaledImageRect(Size image, const Rect& bounds, ImageScaling scaling) {
    if (scaling == ImageScaling::AxesIndependently || image.width <= 0 || image.height <= 0) return bounds;
    double scale = 1;
    const double fit = std::min(bounds.width() / image.width, bounds.height() / image.height);
    if (scaling == ImageScaling::ProportionallyUpOrDown) scale = fit;
    if (scaling == ImageScaling::ProportionallyDown) scale = std::min(1.0, fit);
    const double w = image.width * scale, h = image.height * scale;
    return Rect(bounds.x() + (bounds.width() - w) / 2, bounds.y() + (bounds.height() - h) / 2, w, h);
}

}  // namespace wv
