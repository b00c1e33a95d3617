#pragma once

#include "platform/ui/ButtonCell.h"

namespace wv {

// The cell of a modifier key: a small lower-case title in the bottom-leading corner, in
// white, aligned as the button says.
class WVModifierButtonCell : public ButtonCell {
  public:
    double leadingOffset = 6.0;
    double bottomOffset = 6.0;

    Rect drawTitle(QPainter& painter, const AttributedString& title, const Rect& frame,
                   Button& button) override;
    // Where the title goes (the rectangle drawTitle returns) for a text of `textHeight`.
    Rect titleRect(double textHeight, Button& button) const;

  protected:
    // The light font of labels, scaled with the interface.
    static Font labelFont();
};

}  // namespace wv
