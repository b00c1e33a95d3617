#include "app/WVArrowCell.h"

#include <QPainterPath>

#include "app/UIScale.h"
#include "platform/ui/Button.h"

namespace wv {

std::optional<lineDirenction> lineDirenctionFromRawValue(const std::string& raw) {
    if (raw == "left") return lineDirenction::left;
    if (raw == "right") return lineDirenction::right;
    if (raw == "up") return lineDirenction::up;
    if (raw == "down") return lineDirenction::down;
    return std::nullopt;
}

std::optional<std::array<Point, 3>> WVArrowCell::triangle(Size keySize, double s) const {
    if (!direction) return std::nullopt;
    const auto way = lineDirenctionFromRawValue(*direction);
    if (!way) return std::nullopt;
    const double d = 5 * s, e = 4 * s;
    const double x0 = (keySize.width - d) * 0.5, y0 = (keySize.height - d) * 0.5;
    switch (*way) {
        case lineDirenction::left:
            return std::array<Point, 3>{{{x0 + d, y0}, {x0 + d, y0 + e}, {x0, y0 + e / 2}}};
        case lineDirenction::right:
            return std::array<Point, 3>{{{x0, y0}, {x0, y0 + e}, {x0 + d, y0 + e / 2}}};
        case lineDirenction::up:
            return std::array<Point, 3>{{{x0, y0 + d}, {x0 + e, y0 + d}, {x0 + e / 2, y0}}};
        case lineDirenction::down:
            return std::array<Point, 3>{{{x0, y0}, {x0 + e, y0}, {x0 + e / 2, y0 + d}}};
    }
    return std::nullopt;
}

void WVArrowCell::drawInteriorWithFrame(QPainter& painter, const Rect& frame, Button& button) {
    WVModifierButtonCell::drawInteriorWithFrame(painter, frame, button);
    const auto points = triangle(button.frame().size, uiScaleFactor());
    if (!points) return;
    painter.save();
    QPainterPath path;
    path.moveTo((*points)[0].x, (*points)[0].y);
    path.lineTo((*points)[1].x, (*points)[1].y);
    path.lineTo((*points)[2].x, (*points)[2].y);
    path.closeSubpath();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(path, Qt::white);
    painter.restore();
}

}  // namespace wv
