#pragma once

#include <vector>

#include "platform/ui/Layer.h"

namespace wv {

// A layer filled with a linear gradient between colours spread evenly from the start point to
// the end point, given in the unit square of the layer's own coordinates ((0, 0) is the
// origin corner, so the bottom-left one in an upward view).
class GradientLayer : public Layer {
public:
    const std::vector<Color>& colors() const { return colors_; }
    void setColors(std::vector<Color> colors);
    Point startPoint() const { return start_; }
    void setStartPoint(Point p);
    Point endPoint() const { return end_; }
    void setEndPoint(Point p);

protected:
    void drawInContext(QPainter& painter, const QRectF& local) const override;

private:
    std::vector<Color> colors_;
    Point start_{0.5, 0.0};
    Point end_{0.5, 1.0};
};

}  // namespace wv
