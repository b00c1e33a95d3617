#include "screens/controls/WVGradientView.h"

#include "platform/ui/GradientLayer.h"

namespace wv {

const Color WVGradientView::kBottomColor = Color::rgb(0.1953125, 0.1953125, 0.23828125);
const Color WVGradientView::kTopColor = Color::rgb(0.24609375, 0.25, 0.27734375);

WVGradientView::WVGradientView(const Rect& frame) : View(frame) {
    auto gradient = makeBackingLayer();
    setLayer(gradient);
    gradient->setFrame(bounds());
    gradient->setAutoresizingMask(Layer::WidthSizable | Layer::HeightSizable);
    gradient->setColors({kBottomColor, kTopColor});
    gradient->setStartPoint(Point{0, 0});
    gradient->setEndPoint(Point{0, 1.0});
    gradient->setNeedsDisplay();
    // Both colours are opaque and fill the whole view: what lies beneath (a whole screen, when
    // it is a backdrop) need not be painted. While the view fades, its opacity effect makes Qt
    // paint beneath it again.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

std::shared_ptr<GradientLayer> WVGradientView::makeBackingLayer() {
    return std::make_shared<GradientLayer>();
}

}  // namespace wv
