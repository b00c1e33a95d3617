#pragma once

#include "platform/ui/Window.h"

namespace wv {

// The main window: it can always become the key and main window and take the keyboard,
// which the typing screen's key handling relies on.
class WVMainWindow : public Window {
  public:
    static constexpr Size kReferenceSize{1100, 620};

    explicit WVMainWindow(const Rect& contentRect = Rect(0, 0, kReferenceSize.width,
                                                         kReferenceSize.height));

    bool canBecomeKeyWindow() const { return true; }
    bool canBecomeMainWindow() const { return true; }
    bool acceptsFirstResponder() const { return true; }
};

}  // namespace wv
