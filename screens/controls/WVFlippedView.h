#pragma once

#include "platform/ui/View.h"

namespace wv {

// A container laid out from the top down that keeps every press inside it to itself: views
// and controllers behind it never see one.
class WVFlippedView : public View {
  public:
    explicit WVFlippedView(const Rect& frame = {}) : View(frame) {}
    bool isFlipped() const override { return true; }
    void mouseDown(const MouseEvent&) override {}
};

}  // namespace wv
