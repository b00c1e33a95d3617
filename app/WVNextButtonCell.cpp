#include "app/WVNextButtonCell.h"

#include "platform/ui/Button.h"
#include "platform/ui/Graphics.h"

namespace wv {

Rect WVNextButtonCell::arrowRect(Size s) {
    return Rect(s.width - 18, (s.height - 21) * 0.5, 13, 21);
}

Rect WVNextButtonCell::titleRect(Size s) { return Rect(0, 7, s.width - 13 - 22, s.height); }

void WVNextButtonCell::drawWithFrame(QPainter& painter, const Rect&, Button& button) {
    const Size size = button.frame().size;
    ImagePtr image = button.image() ? button.image() : Image::named("backArrowRed");
    if (image) Graphics::drawImage(painter, *image, arrowRect(size));
    TextAttributes attributes;
    attributes.font = Font::system(24);
    attributes.expansion = -0.06;
    attributes.paragraph = ParagraphStyle{TextAlignment::Right, 0};
    attributes.foreground = Color::rgb255(155, 155, 155);
    Graphics::drawText(painter, AttributedString(button.title(), attributes), titleRect(size),
                       false);
}

}  // namespace wv
