#include "platform/ui/Control.h"

namespace wv {

Control::Control(const Rect& frame) : View(frame) {
    setFlipped(true);
    setTag(0);
}

void Control::setEnabled(bool enabled) {
    enabled_ = enabled;
    setNeedsDisplay();
}

void Control::setFont(const Font& font) {
    if (font_ == font) return;
    font_ = font;
    setNeedsDisplay();
}

void Control::setAlignment(TextAlignment alignment) {
    alignment_ = alignment;
    setNeedsDisplay();
}

void Control::sendAction() {
    if (enabled_ && action) {
        auto handler = action;  // the action may replace itself
        handler(*this);
    }
}

}  // namespace wv
