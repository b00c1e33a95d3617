#pragma once

#include "platform/ui/Window.h"

namespace wv::screens {

// The help's window. It takes key input like any other window while it runs modally.
class WVHelpWindow : public Window {
  public:
    explicit WVHelpWindow(const Rect& contentRect);
    bool canBecomeKeyWindow() const { return true; }
};

}  // namespace wv::screens
