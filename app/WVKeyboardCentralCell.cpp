#include "app/WVKeyboardCentralCell.h"

#include "platform/ui/Button.h"
#include "platform/ui/Graphics.h"
#include "platform/ui/TextMeasurer.h"

namespace wv {

Rect WVKeyboardCentralCell::barRect(const Rect& title, double keyWidth) {
    return Rect((keyWidth - 10.0) * 0.5, title.maxY() + 3.0, 10.0, 2.0);
}

Rect WVKeyboardCentralCell::titleRectForBounds(const Rect& bounds, Button& button) const {
    const AttributedString title = button.attributedTitle();
    if (title.empty()) return Rect(bounds.x(), bounds.midY(), bounds.width(), 0);
    const double h = TextMeasurer::current().usedRect(title, bounds.size).height();
    return Rect(bounds.x(), bounds.y() + (bounds.height() - h) * 0.5, bounds.width(), h);
}

Rect WVKeyboardCentralCell::drawTitle(QPainter& painter, const AttributedString& title,
                                      const Rect& frame, Button& button) {
    const Rect r = WVKeyboardCell::drawTitle(painter, title, frame, button);
    painter.save();
    Graphics::fill(painter, barRect(r, button.frame().width()), Color::white());
    painter.restore();
    return r;
}

}  // namespace wv
