#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>

#include "platform/ui/values/Color.h"
#include "platform/ui/values/Font.h"
#include "platform/ui/values/Geometry.h"

namespace wv {

inline QRectF toQRectF(const Rect& r) { return QRectF(r.x(), r.y(), r.width(), r.height()); }
inline Rect fromQRectF(const QRectF& r) { return Rect(r.x(), r.y(), r.width(), r.height()); }
inline QPointF toQPointF(const Point& p) { return QPointF(p.x, p.y); }
inline QColor toQColor(const Color& c) { return QColor::fromRgbF(c.red, c.green, c.blue, c.alpha); }
inline Color fromQColor(const QColor& c) { return Color{c.redF(), c.greenF(), c.blueF(), c.alphaF()}; }

// Sizes in points are pixels at scale 1, whatever the screen's nominal DPI.
QFont toQFont(const Font& font);
QString toQString(const std::string& text);

}  // namespace wv
