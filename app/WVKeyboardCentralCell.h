#pragma once

#include "app/WVKeyboardCell.h"

namespace wv {

// A home-row key (F, J): a small white bar under the caption for the fingers to find.
class WVKeyboardCentralCell : public WVKeyboardCell {
  public:
    Rect drawTitle(QPainter& painter, const AttributedString& title, const Rect& frame,
                   Button& button) override;
    // The title's line (in the key's caption font), centred in the key.
    Rect titleRectForBounds(const Rect& bounds, Button& button) const override;
    // Where the bar goes for the title rectangle `title` in a key of width `keyWidth`.
    static Rect barRect(const Rect& title, double keyWidth);
};

}  // namespace wv
