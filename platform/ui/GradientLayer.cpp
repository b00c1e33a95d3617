#include "platform/ui/GradientLayer.h"

#include <QLinearGradient>
#include <QPainter>

#include "platform/ui/QtConvert.h"

namespace wv {

void GradientLayer::setColors(std::vector<Color> colors) {
    colors_ = std::move(colors);
    setNeedsDisplay();
}

void GradientLayer::setStartPoint(Point p) {
    start_ = p;
    setNeedsDisplay();
}

void GradientLayer::setEndPoint(Point p) {
    end_ = p;
    setNeedsDisplay();
}

void GradientLayer::drawInContext(QPainter& painter, const QRectF& local) const {
    if (colors_.empty()) return;
    auto toLocal = [&](Point unit) {
        const double y = isGeometryUpward() ? 1.0 - unit.y : unit.y;
        return QPointF(local.x() + unit.x * local.width(), local.y() + y * local.height());
    };
    QLinearGradient gradient(toLocal(start_), toLocal(end_));
    if (colors_.size() == 1) {
        gradient.setColorAt(0, toQColor(colors_[0]));
    } else {
        for (size_t i = 0; i < colors_.size(); ++i)
            gradient.setColorAt(double(i) / double(colors_.size() - 1), toQColor(colors_[i]));
    }
    painter.fillRect(local, gradient);
}

}  // namespace wv
