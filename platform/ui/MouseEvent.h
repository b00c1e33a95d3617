#pragma once

#include <cstdint>

#include "platform/ui/values/Geometry.h"

namespace wv {

// A pointer event as the views see it. `locationInWindow` is in the window content's
// coordinates (y upward from its bottom edge); convert it with View::convertPointFromWindow.
struct MouseEvent {
    Point locationInWindow;
    int clickCount = 1;
    double deltaX = 0, deltaY = 0;                    // pointer movement of a drag
    double scrollingDeltaX = 0, scrollingDeltaY = 0;  // wheel, in points
    std::uint64_t modifierFlags = 0;
};

}  // namespace wv
