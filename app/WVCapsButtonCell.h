#pragma once

#include "app/WVModifierButtonCell.h"

namespace wv {

// Caps Lock: the modifier title, and a dot in the top-left corner.
class WVCapsButtonCell : public WVModifierButtonCell {
  public:
    Rect drawTitle(QPainter& painter, const AttributedString& title, const Rect& frame,
                   Button& button) override;
};

}  // namespace wv
