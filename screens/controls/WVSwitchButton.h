#pragma once

#include "platform/ui/Button.h"

namespace wv {

// The settings' on/off switch: its pictures come in an enabled and a dimmed pair, chosen
// whenever the enabled flag is set (the off picture as image, the on picture as alternate
// image). Until then it shows whatever images its owner gave it. It dims through its own
// pictures, never by drawing them fainter.
class WVSwitchButton : public Button {
  public:
    explicit WVSwitchButton(const Rect& frame = {});
    void setEnabled(bool enabled) override;
};

}  // namespace wv
