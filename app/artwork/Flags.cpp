// The flags of the ten learning languages, drawn in a 48 x 36 design space.
#include <QPainterPath>
#include <cmath>
#include <functional>

#include "app/artwork/ArtworkParts.h"
#include "app/artwork/Drawing.h"
#include "platform/ui/Image.h"

namespace wv::artwork {

namespace {
constexpr double kW = 48, kH = 36;

void horizontal(QPainter& p, std::initializer_list<QColor> colors) {
    const double h = kH / double(colors.size());
    double y = 0;
    for (const QColor& c : colors) {
        p.fillRect(QRectF(0, y, kW, h + 0.5), c);
        y += h;
    }
}

void vertical(QPainter& p, std::initializer_list<QColor> colors) {
    const double w = kW / double(colors.size());
    double x = 0;
    for (const QColor& c : colors) {
        p.fillRect(QRectF(x, 0, w + 0.5, kH), c);
        x += w;
    }
}

void starAt(QPainter& p, QPointF c, double r, double rotation) {
    p.save();
    p.translate(c);
    p.rotate(rotation);
    p.drawPath(starPath(QRectF(-r, -r, 2 * r, 2 * r)));
    p.restore();
}

// The flag in the design space, clipped to a rounded card with a faint edge.
void flag(const char* name, const std::function<void(QPainter&)>& body) {
    Image::registerNamed(name, Size{16, 12}, [body](QPainter& p, Size s) {
        p.scale(s.width / kW, s.height / kH);
        QPainterPath card;
        card.addRoundedRect(QRectF(0, 0, kW, kH), 3, 3);
        p.save();
        p.setClipPath(card);
        p.setPen(Qt::NoPen);
        body(p);
        p.restore();
        p.setPen(QPen(QColor(0, 0, 0, 70), 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawPath(card);
    });
}
}  // namespace

void registerFlags() {
    flag("flagUS", [](QPainter& p) {
        const QColor red(178, 34, 52), blue(60, 59, 110);
        const double stripe = kH / 13;
        for (int i = 0; i < 13; ++i) p.fillRect(QRectF(0, i * stripe, kW, stripe + 0.3), i % 2 ? Qt::white : red);
        const QRectF canton(0, 0, kW * 0.42, stripe * 7);
        p.fillRect(canton, blue);
        p.setBrush(Qt::white);
        for (int row = 0; row < 5; ++row)
            for (int col = 0; col < (row % 2 ? 5 : 6); ++col)
                starAt(p, QPointF(2.0 + col * 3.3 + (row % 2 ? 1.65 : 0), 2.2 + row * 3.5), 1.15, 0);
    });
    flag("flagDE", [](QPainter& p) { horizontal(p, {QColor(0, 0, 0), QColor(221, 0, 0), QColor(255, 206, 0)}); });
    flag("flagES", [](QPainter& p) {
        const QColor red(170, 21, 27), yellow(241, 191, 0);
        p.fillRect(QRectF(0, 0, kW, kH), red);
        p.fillRect(QRectF(0, kH / 4, kW, kH / 2), yellow);
        // The coat of arms, reduced to its shield and crown.
        p.setBrush(red.darker(110));
        p.drawRoundedRect(QRectF(11, 13, 7, 9), 1.5, 1.5);
        p.setBrush(QColor(200, 150, 40));
        p.drawRect(QRectF(11, 11.2, 7, 1.6));
    });
    flag("flagFR", [](QPainter& p) { vertical(p, {QColor(0, 85, 164), Qt::white, QColor(239, 65, 53)}); });
    flag("flagIT", [](QPainter& p) { vertical(p, {QColor(0, 146, 70), Qt::white, QColor(206, 43, 55)}); });
    flag("flagUA", [](QPainter& p) { horizontal(p, {QColor(0, 87, 183), QColor(255, 215, 0)}); });
    flag("flagRU", [](QPainter& p) { horizontal(p, {Qt::white, QColor(0, 57, 166), QColor(213, 43, 30)}); });
    flag("flagGR", [](QPainter& p) {
        const QColor blue(13, 94, 175);
        const double stripe = kH / 9;
        for (int i = 0; i < 9; ++i) p.fillRect(QRectF(0, i * stripe, kW, stripe + 0.3), i % 2 ? Qt::white : blue);
        const double side = stripe * 5;
        p.fillRect(QRectF(0, 0, side, side), blue);
        p.fillRect(QRectF(side / 2 - stripe / 2, 0, stripe, side), Qt::white);
        p.fillRect(QRectF(0, side / 2 - stripe / 2, side, stripe), Qt::white);
    });
    flag("flagTR", [](QPainter& p) {
        const QColor red(227, 10, 23);
        p.fillRect(QRectF(0, 0, kW, kH), red);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(17, 18), 9, 9);
        p.setBrush(red);
        p.drawEllipse(QPointF(19.4, 18), 7.2, 7.2);
        p.setBrush(Qt::white);
        starAt(p, QPointF(28, 18), 4.4, -90);
    });
    flag("flagBR", [](QPainter& p) {
        p.fillRect(QRectF(0, 0, kW, kH), QColor(0, 156, 59));
        p.setBrush(QColor(255, 223, 0));
        p.drawPolygon(QPolygonF({QPointF(kW / 2, 3.5), QPointF(kW - 4, kH / 2), QPointF(kW / 2, kH - 3.5), QPointF(4, kH / 2)}));
        const QPointF c(kW / 2, kH / 2);
        p.setBrush(QColor(0, 39, 118));
        p.drawEllipse(c, 8.5, 8.5);
        QPainterPath disc;
        disc.addEllipse(c, 8.5, 8.5);
        p.save();
        p.setClipPath(disc);
        p.setPen(QPen(Qt::white, 1.8));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(c.x() - 15, c.y() - 4, 30, 30), 50 * 16, 80 * 16);
        p.restore();
        p.setPen(Qt::NoPen);
    });
}

}  // namespace wv::artwork
