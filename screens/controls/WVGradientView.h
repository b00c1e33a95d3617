#pragma once

#include <memory>

#include "platform/ui/View.h"

namespace wv {

class GradientLayer;

// The dark backdrop of a screen: a fixed vertical gradient, bottom colour first. It draws
// nothing itself; its root layer is the gradient, set up once and resized with the view.
class WVGradientView : public View {
  public:
    explicit WVGradientView(const Rect& frame = {});

    // A new gradient layer, not yet set up.
    static std::shared_ptr<GradientLayer> makeBackingLayer();

    static const Color kBottomColor;
    static const Color kTopColor;
};

}  // namespace wv
