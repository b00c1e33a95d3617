#include "app/artwork/Drawing.h"

#include <QLinearGradient>
#include <algorithm>
#include <cmath>

namespace wv::artwork {

void drawKeyCap(QPainter& p, const QRectF& r, const QColor& face, const QColor& border, double borderWidth) {
    p.save();
    p.setPen(Qt::NoPen);
    const double radius = std::clamp(std::min(r.width(), r.height()) * 0.12, 2.0, 6.0);
    const QRectF body = r.adjusted(1, 1, -1, -1);
    // The lower edge shows under the face like the side of a real key.
    p.setBrush(face.darker(170));
    p.drawRoundedRect(body, radius, radius);
    const QRectF top = body.adjusted(0, 0, 0, -std::max(1.5, body.height() * 0.04));
    QLinearGradient light(top.topLeft(), top.bottomLeft());
    light.setColorAt(0, face.lighter(118));
    light.setColorAt(1, face);
    p.setBrush(light);
    p.drawRoundedRect(top, radius, radius);
    // A thin sheen along the top edge.
    p.setPen(QPen(QColor(255, 255, 255, 28), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(top.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);
    if (borderWidth > 0 && border.alpha() > 0) {
        p.setPen(QPen(border, borderWidth));
        const double inset = borderWidth / 2;
        p.drawRoundedRect(body.adjusted(inset, inset, -inset, -inset), radius - inset * 0.5, radius - inset * 0.5);
    }
    p.restore();
}

void drawDisc(QPainter& p, const QRectF& r, const QColor& color) {
    p.save();
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, color.lighter(115));
    g.setColorAt(1, color.darker(112));
    p.setPen(QPen(color.darker(140), std::max(1.0, r.width() / 40)));
    p.setBrush(g);
    p.drawEllipse(r.adjusted(0.5, 0.5, -0.5, -0.5));
    p.restore();
}

QPainterPath starPath(const QRectF& r) {
    QPainterPath path;
    const QPointF c = r.center() + QPointF(0, r.height() * 0.05);
    const double outer = std::min(r.width(), r.height()) * 0.5;
    const double inner = outer * 0.45;
    for (int i = 0; i < 10; ++i) {
        const double angle = -M_PI / 2 + i * M_PI / 5;
        const double radius = i % 2 ? inner : outer;
        const QPointF point = c + QPointF(std::cos(angle) * radius, std::sin(angle) * radius);
        if (i == 0)
            path.moveTo(point);
        else
            path.lineTo(point);
    }
    path.closeSubpath();
    return path;
}

QPainterPath barPath(const QRectF& r, double radius) {
    radius = std::min({radius, r.width() / 2, r.height()});
    QPainterPath path;
    path.moveTo(r.bottomLeft());
    path.lineTo(r.left(), r.top() + radius);
    path.quadTo(r.topLeft(), QPointF(r.left() + radius, r.top()));
    path.lineTo(r.right() - radius, r.top());
    path.quadTo(r.topRight(), QPointF(r.right(), r.top() + radius));
    path.lineTo(r.bottomRight());
    path.closeSubpath();
    return path;
}

}  // namespace wv::artwork
