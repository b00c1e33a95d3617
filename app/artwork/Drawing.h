#pragma once

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>

#include "platform/ui/values/Geometry.h"

namespace wv::artwork {

// Small drawing steps the pictures share.
inline QRectF area(Size size) { return QRectF(0, 0, size.width, size.height); }

// A key cap filling `r`: a rounded face lit from above over a darker lower edge, with an
// optional coloured border of `borderWidth` points.
void drawKeyCap(QPainter& p, const QRectF& r, const QColor& face, const QColor& border = Qt::transparent,
                double borderWidth = 0);

// A filled circle with a soft darker rim, for round icons.
void drawDisc(QPainter& p, const QRectF& r, const QColor& color);

// A five-pointed star inside `r`.
QPainterPath starPath(const QRectF& r);

// A rounded bar whose top corners are round and bottom square (diagram bars).
QPainterPath barPath(const QRectF& r, double radius);

}  // namespace wv::artwork
