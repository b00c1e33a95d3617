#include "app/WVKeyboardCell.h"

#include "platform/ui/Button.h"
#include "platform/ui/TextMeasurer.h"

namespace wv {

Rect WVKeyboardCell::drawTitle(QPainter&, const AttributedString&, const Rect& frame, Button&) { return frame; }

Rect WVKeyboardCell::titleRectForBounds(const Rect& bounds, Button& button) const {
    const AttributedString title = button.attributedTitle();
    if (title.empty()) return Rect(bounds.x(), bounds.midY(), bounds.width(), 0);
    const double h = TextMeasurer::current().usedRect(title, bounds.size).height();
    return Rect(bounds.x(), bounds.y() + (bounds.height() - h) * 0.5, bounds.width(), h);
}

}  // namespace wv
