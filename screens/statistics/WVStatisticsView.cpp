#include "screens/statistics/WVStatisticsView.h"

#include <QPainter>
#include <cmath>
#include <string>

#include "platform/ui/Graphics.h"
#include "platform/ui/QtConvert.h"

namespace wv::screens {

namespace {
// Whole number nearest to x, halves away from zero.
double nint(double x) { return std::round(x); }
}  // namespace

WVStatisticsView::WVStatisticsView(const Rect& frame) : View(frame) {}

double WVStatisticsView::upperLineY() const { return nint(frame().height() - 30); }

double WVStatisticsView::middleLineY() const { return nint(upperLineY() * 0.5) + 15; }

double WVStatisticsView::lineEndX() const { return frame().width() - lineOffsetX; }

Rect WVStatisticsView::middleCaptionRect() const {
    return Rect(lineEndX(), nint(upperLineY() * 0.5) + 8.5, lineOffsetX, 13);
}

Rect WVStatisticsView::upperCaptionRect() const {
    return Rect(lineEndX(), upperLineY() - 6.5, lineOffsetX, 13);
}

void WVStatisticsView::draw(QPainter& painter, const Rect&) {
    drawGuideLines(painter);
    drawSpeedCaptions(painter);
}

void WVStatisticsView::drawGuideLines(QPainter& painter) {
    painter.save();
    QPen pen(toQColor(greyColor), 0.5);
    pen.setDashPattern({4.0 / 0.5, 2.0 / 0.5});  // Qt counts dashes in pen widths
    pen.setDashOffset(0);
    painter.setPen(pen);
    for (double y : {middleLineY(), upperLineY()})
        painter.drawLine(QPointF(0, y), QPointF(lineEndX(), y));
    painter.restore();
}

void WVStatisticsView::drawSpeedCaptions(QPainter& painter) {
    TextAttributes attributes;
    attributes.font = Font::system(11.0);
    attributes.foreground = Color::white();
    attributes.paragraph = ParagraphStyle{TextAlignment::Left, 0};
    Graphics::drawText(painter, AttributedString(std::to_string(midSpeedTitleValue), attributes),
                       middleCaptionRect(), false);
    Graphics::drawText(painter, AttributedString(std::to_string(maxSpeedTitleValue), attributes),
                       upperCaptionRect(), false);
}

}  // namespace wv::screens
