#include "screens/controls/WVPopupButtonCell.h"

#include <QPainterPath>

#include "platform/ui/Button.h"
#include "platform/ui/Graphics.h"
#include "platform/ui/QtConvert.h"

namespace wv {

void WVPopupButtonCell::drawInteriorWithFrame(QPainter& painter, const Rect& frame,
                                              Button& button) {
    drawImageWithFrame(painter, frame, button);
    drawTitleWithFrame(painter, frame, button);
}

Rect WVPopupButtonCell::customImageRect(const Rect& frame) const {
    if (!customImage) return Rect();
    const Size size = customImage->size();
    return Rect(frame.minX() + 20.0, (frame.height() - size.height) * 0.5 - 1.0, size.width,
                size.height);
}

std::array<Point, 3> WVPopupButtonCell::arrowPoints(const Rect& frame) const {
    const double x0 = frame.maxX() - arrowW, y0 = (frame.height() - arrowH) * 0.5;
    return {Point{x0, y0}, Point{x0 + arrowW, y0}, Point{x0 + arrowW / 2, y0 + arrowH}};
}

Rect WVPopupButtonCell::titleDrawingRect(const Rect& frame, Button& button) const {
    const double left = customImage ? customImage->size().width + 10.0 + 1.0 : 1.0;
    const Rect title = titleRectForBounds(frame, button);
    return Rect(left, title.y(), frame.width() - left - 8.0, title.height());
}

void WVPopupButtonCell::drawImageWithFrame(QPainter& painter, const Rect& frame, Button&) {
    if (customImage) Graphics::drawImage(painter, *customImage, customImageRect(frame));
    painter.save();
    const auto corners = arrowPoints(frame);
    QPainterPath path;
    path.moveTo(corners[0].x, corners[0].y);
    path.lineTo(corners[1].x, corners[1].y);
    path.lineTo(corners[2].x, corners[2].y);
    path.closeSubpath();
    painter.fillPath(path, Qt::white);
    painter.restore();
}

void WVPopupButtonCell::drawTitleWithFrame(QPainter& painter, const Rect& frame, Button& button) {
    TextAttributes white;
    white.foreground = Color::white();
    white.paragraph = ParagraphStyle{TextAlignment::Right, 0};
    AttributedString title = button.attributedTitle();
    title.addAttributes(white);
    ButtonCell::drawTitle(painter, title, titleDrawingRect(frame, button), button);
}

}  // namespace wv
