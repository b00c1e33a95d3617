// The round icons of the tip panel.
#include <QPainterPath>

#include "app/artwork/ArtworkParts.h"
#include "app/artwork/Drawing.h"
#include "app/artwork/Palette.h"
#include "platform/ui/Image.h"

namespace wv::artwork {

namespace {
const Size kIcon{40, 40};

// Draws `body` in a 40-point design space scaled to the picture's size.
void icon(QPainter& p, Size s, const QColor& disc, const std::function<void(QPainter&)>& body) {
    p.scale(s.width / 40.0, s.height / 40.0);
    drawDisc(p, QRectF(1, 1, 38, 38), disc);
    p.setRenderHint(QPainter::Antialiasing);
    body(p);
}

QPen inkPen(double width) { return QPen(palette::kInk, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

void arrow(QPainter& p, bool up) {
    p.setPen(inkPen(3.2));
    p.setBrush(Qt::NoBrush);
    const double tip = up ? 10.5 : 29.5, tail = up ? 29.5 : 10.5, wing = up ? 18.5 : 21.5;
    p.drawLine(QPointF(20, tail), QPointF(20, tip));
    p.drawPolyline(QPolygonF({QPointF(12.5, wing), QPointF(20, tip), QPointF(27.5, wing)}));
}
}  // namespace

void registerTips() {
    using namespace palette;
    Image::registerNamed("tipMail", kIcon, [](QPainter& p, Size s) {
        icon(p, s, kHighlight, [](QPainter& p) {
            p.setPen(inkPen(2.2));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(QRectF(10, 13, 20, 14), 2, 2);
            p.drawPolyline(QPolygonF({QPointF(10.5, 14), QPointF(20, 21.5), QPointF(29.5, 14)}));
        });
    });
    Image::registerNamed("tipInfoIcon", kIcon, [](QPainter& p, Size s) {
        icon(p, s, kHighlight, [](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(kInk);
            p.drawEllipse(QPointF(20, 12.5), 2.4, 2.4);
            p.drawRoundedRect(QRectF(18, 17, 4, 13), 2, 2);
        });
    });
    Image::registerNamed("tipUp", kIcon, [](QPainter& p, Size s) { icon(p, s, kGreen, [](QPainter& p) { arrow(p, true); }); });
    Image::registerNamed("tipDown", kIcon, [](QPainter& p, Size s) { icon(p, s, kOrange, [](QPainter& p) { arrow(p, false); }); });
    Image::registerNamed("tipHeartIcon", kIcon, [](QPainter& p, Size s) {
        icon(p, s, kError, [](QPainter& p) {
            QPainterPath heart;
            heart.moveTo(20, 29);
            heart.cubicTo(8, 21, 10, 11.5, 15.5, 11.5);
            heart.cubicTo(18, 11.5, 19.5, 13, 20, 15);
            heart.cubicTo(20.5, 13, 22, 11.5, 24.5, 11.5);
            heart.cubicTo(30, 11.5, 32, 21, 20, 29);
            p.setPen(Qt::NoPen);
            p.setBrush(kInk);
            p.drawPath(heart);
        });
    });
    // The arrow of the text button that leads back.
    Image::registerNamed("backArrowRed", Size{13, 21}, [](QPainter& p, Size s) {
        p.scale(s.width / 13.0, s.height / 21.0);
        p.setPen(QPen(kError, 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(10, 2.5), QPointF(3, 10.5), QPointF(10, 18.5)}));
    });
}

}  // namespace wv::artwork
