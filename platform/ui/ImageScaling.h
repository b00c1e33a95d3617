#pragma once

#include "platform/ui/values/Geometry.h"

namespace wv {

enum class ImageScaling { ProportionallyDown, AxesIndependently, None, ProportionallyUpOrDown };

// Where a picture of natural size `image` goes inside `bounds` (centred).
Rect scaledImageRect(Size image, const Rect& bounds, ImageScaling scaling);

}  // namespace wv
