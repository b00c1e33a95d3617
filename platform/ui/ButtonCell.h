#pragma once

#include <QPainter>

#include "platform/ui/Image.h"
#include "platform/ui/values/AttributedString.h"
#include "platform/ui/values/Geometry.h"

namespace wv {

class Button;

// How a button draws itself. A button's cell can be swapped for another to change its look;
// each step can be overridden on its own. Rectangles are in the button's coordinates
// (y downward). The default cell draws the current image (scaled to fill) and the
// attributed title centred over it.
class ButtonCell {
public:
    virtual ~ButtonCell() = default;

    // Everything: by default the interior (there is no bezel).
    virtual void drawWithFrame(QPainter& painter, const Rect& frame, Button& button);
    // The image, then the title.
    virtual void drawInteriorWithFrame(QPainter& painter, const Rect& frame, Button& button);
    virtual void drawImage(QPainter& painter, const Image& image, const Rect& frame, Button& button);
    // Draws the title and returns the rectangle it took.
    virtual Rect drawTitle(QPainter& painter, const AttributedString& title, const Rect& frame, Button& button);
    virtual Rect imageRectForBounds(const Rect& bounds, Button& button) const;
    virtual Rect titleRectForBounds(const Rect& bounds, Button& button) const;
};

}  // namespace wv
