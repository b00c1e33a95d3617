#pragma once

#include "platform/ui/ButtonCell.h"

namespace wv {

// A text button that leads on: its title right-aligned in grey, and an arrow picture (the
// button's image, or "backArrowRed") at its right edge. Draws the whole button itself.
class WVNextButtonCell : public ButtonCell {
  public:
    void drawWithFrame(QPainter& painter, const Rect& frame, Button& button) override;
    static Rect arrowRect(Size buttonSize);
    static Rect titleRect(Size buttonSize);
};

}  // namespace wv
