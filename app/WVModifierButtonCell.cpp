#include "app/WVModifierButtonCell.h"

#include "app/TextHelpers.h"
#include "app/UIScale.h"
#include "platform/foundation/Text.h"
#include "platform/ui/Button.h"
#include "platform/ui/Graphics.h"

namespace wv {

Font WVModifierButtonCell::labelFont() {
    return Font::system(9.0 * uiScaleFactor(), FontWeight::Light);
}

Rect WVModifierButtonCell::titleRect(double textHeight, Button& button) const {
    const double s = uiScaleFactor();
    const double W = button.frame().width(), H = button.frame().height();
    return Rect(leadingOffset * s, H - bottomOffset - textHeight, W - 2 * leadingOffset * s,
                textHeight);
}

Rect WVModifierButtonCell::drawTitle(QPainter& painter, const AttributedString& title,
                                     const Rect& frame, Button& button) {
    if (title.string().empty()) return frame;
    const std::string text = text::lower(title.string());
    const AttributedString label =
        makeAttributedString(text, button.alignment(), labelFont(), Color::white());
    const double h = usedTextRect(label, button.frame().width(), button.frame().height()).height();
    const Rect r = titleRect(h, button);
    Graphics::drawText(painter, label, r, false);
    return r;
}

}  // namespace wv
