#pragma once

#include "platform/ui/ButtonCell.h"

namespace wv {

// The cell of a character key: the caption is drawn by the key's own caption layer, so the
// cell draws no title. The title rectangle is the title's line, centred in the key.
class WVKeyboardCell : public ButtonCell {
public:
    Rect drawTitle(QPainter& painter, const AttributedString& title, const Rect& frame, Button& button) override;
    Rect titleRectForBounds(const Rect& bounds, Button& button) const override;
};

}  // namespace wv
