#pragma once

#include "platform/ui/ButtonCell.h"
#include "platform/ui/values/Color.h"

namespace wv {

// Draws a radio's title left and its picture right of it, in the dark look: the title orange
// while on and white otherwise, its first bullet grey (the bullet parts the lesson number
// from its letters).
class WVRadioButtonCell : public ButtonCell {
  public:
    static const Color& onColor();
    static const Color& offColor();
    static const Color& bulletColor();

    // The title as drawn in `state`: the state's colour over all of it, then grey on the first
    // "•" alone.
    static AttributedString recolouredTitle(const AttributedString& title, int state);

    void drawInteriorWithFrame(QPainter& painter, const Rect& frame, Button& button) override;
    Rect drawTitle(QPainter& painter, const AttributedString& title, const Rect& frame,
                   Button& button) override;
    // Where the picture sits right of the title, moved 2 points left.
    Rect imageRectForBounds(const Rect& bounds, Button& button) const override;
    Rect titleRectForBounds(const Rect& bounds, Button& button) const override;

  private:
    // Where the picture would sit without the move: at its own size, right of the title.
    Rect baseImageRect(const Rect& bounds, Button& button) const;
};

}  // namespace wv
