#pragma once

#include "platform/ui/Button.h"

namespace wv {

// A lesson radio of the settings: the title on the left, the "checkMark" picture right of it,
// drawn by a WVRadioButtonCell. `selected` is its owner's flag; the button never reads it.
class WVRadioButton : public Button {
  public:
    explicit WVRadioButton(const Rect& frame);

    bool selected = false;
};

}  // namespace wv
