#include "app/WVCapsButtonCell.h"

#include "app/TextHelpers.h"
#include "app/UIScale.h"
#include "platform/ui/Graphics.h"

namespace wv {

Rect WVCapsButtonCell::drawTitle(QPainter& painter, const AttributedString& title,
                                 const Rect& frame, Button& button) {
    const Rect r = WVModifierButtonCell::drawTitle(painter, title, frame, button);
    const AttributedString mark =
        makeAttributedString("\u2022", TextAlignment::Left, labelFont(), Color::white());
    const Rect at(r.x(), 6.0 * uiScaleFactor(), r.width(), r.height());
    Graphics::drawText(painter, mark, at, false);
    return at;
}

}  // namespace wv
