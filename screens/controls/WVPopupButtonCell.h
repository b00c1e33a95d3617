#pragma once

#include <array>

#include "platform/ui/ButtonCell.h"
#include "platform/ui/values/Geometry.h"

namespace wv {

// A pop-up button's look on the dark screens: an optional picture 20 points in from the left,
// the title in white, right-aligned, and a small white arrow at the right edge. It replaces
// the button's own picture and title drawing; the picture is `customImage`, set by the owner.
class WVPopupButtonCell : public ButtonCell {
  public:
    ImagePtr customImage;
    float arrowW = 4.0f;
    float arrowH = 4.0f;

    void drawInteriorWithFrame(QPainter& painter, const Rect& frame, Button& button) override;
    void drawImageWithFrame(QPainter& painter, const Rect& frame, Button& button);
    void drawTitleWithFrame(QPainter& painter, const Rect& frame, Button& button);

    // The geometry the two drawings use, in the button's flipped coordinates.
    Rect customImageRect(const Rect& frame) const;
    // The arrow's three corners; its apex points towards larger y (down on screen).
    std::array<Point, 3> arrowPoints(const Rect& frame) const;
    Rect titleDrawingRect(const Rect& frame, Button& button) const;
};

}  // namespace wv
