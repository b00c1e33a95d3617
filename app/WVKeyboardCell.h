#pragma once

#include "platform/ui/ButtonCell.h"

namespace wv {

// The cell of a character key: the caption is drawn by the key's own caption layer, so the
// cell draws no title.
class WVKeyboardCell : public ButtonCell {
  public:
    Rect drawTitle(QPainter& painter, const AttributedString& title, const Rect& frame,
                   Button& button) override;
};

}  // namespace wv
