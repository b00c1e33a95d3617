#pragma once

#include "app/WVModifierButtonCell.h"

namespace wv {

// Return: the modifier title, and "enter" in the top-right corner.
class WVEnterButtonCell : public WVModifierButtonCell {
  public:
    Rect drawTitle(QPainter& painter, const AttributedString& title, const Rect& frame,
                   Button& button) override;
};

}  // namespace wv
