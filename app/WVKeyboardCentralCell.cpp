#include "app/WVKeyboardCentralCell.h"

#include "platform/ui/Button.h"
#include "platform/ui/Graphics.h"

namespace wv {

Rect WVKeyboardCentralCell::barRect(const Rect& title, double keyWidth) {
    return Rect((keyWidth - 10.0) * 0.5, title.maxY() + 3.0, 10.0, 2.0);
}

Rect WVKeyboardCentralCell::drawTitle(QPainter& painter, const AttributedString& title, const Rect& frame,
                                      Button& button) {
    const Rect r = WVKeyboardCell::drawTitle(painter, title, frame, button);
    painter.save();
    Graphics::fill(painter, barRect(r, button.frame().width()), Color::white());
    painter.restore();
    return r;
}

}  // namespace wv
