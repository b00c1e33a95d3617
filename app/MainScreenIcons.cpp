#include "app/MainScreenIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "platform/ui/Image.h"

namespace wv {

namespace {
const QColor kIconColor(255, 255, 255, 150);

QPen iconPen(double width) {
    return QPen(kIconColor, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void statistics(QPainter& p, Size s) {
    p.scale(s.width / 24.0, s.height / 24.0);
    p.setPen(Qt::NoPen);
    p.setBrush(kIconColor);
    const double bars[][2] = {{3, 12}, {9, 6}, {15, 9}};
    for (const auto& bar : bars)
        p.drawRoundedRect(QRectF(bar[0], bar[1] + 2, 5, 20 - bar[1]), 1.2, 1.2);
    p.setPen(iconPen(1.6));
    p.drawLine(QPointF(2, 22.5), QPointF(22, 22.5));
}

void settings(QPainter& p, Size s) {
    p.scale(s.width / 24.0, s.height / 24.0);
    p.setPen(iconPen(1.8));
    for (double y : {6.0, 12.0, 18.0}) p.drawLine(QPointF(3, y), QPointF(21, y));
    p.setPen(Qt::NoPen);
    p.setBrush(kIconColor);
    const double knobs[][2] = {{8, 6}, {16, 12}, {10, 18}};
    for (const auto& k : knobs) p.drawEllipse(QPointF(k[0], k[1]), 2.8, 2.8);
}

void help(QPainter& p, Size s) {
    p.scale(s.width / 24.0, s.height / 24.0);
    p.setPen(iconPen(1.8));
    p.drawEllipse(QPointF(12, 12), 9.5, 9.5);
    QPainterPath hook;
    hook.moveTo(9, 9.5);
    hook.cubicTo(9, 5.5, 15.5, 5.5, 15.5, 9.5);
    hook.cubicTo(15.5, 12, 12, 12, 12, 14.5);
    p.setBrush(Qt::NoBrush);
    p.drawPath(hook);
    p.setPen(Qt::NoPen);
    p.setBrush(kIconColor);
    p.drawEllipse(QPointF(12, 17.8), 1.3, 1.3);
}
}  // namespace

void registerMainScreenIcons() {
    auto draw = [](void (*body)(QPainter&, Size)) {
        return [body](QPainter& p, Size s) {
            p.setRenderHint(QPainter::Antialiasing);
            body(p, s);
        };
    };
    Image::registerNamed("mainStatisticsIcon", Size{24, 24}, draw(statistics));
    Image::registerNamed("mainSettingsIcon", Size{24, 24}, draw(settings));
    Image::registerNamed("mainHelpIcon", Size{24, 24}, draw(help));
}

}  // namespace wv
