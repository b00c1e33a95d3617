#pragma once

#include "languages/KeyMapBase.h"

namespace wv {

// The Spanish layouts, in the order their layout numbers are stored: "QWERTY", "QWERTY ISO".
class KeyMapEs : public KeyMapBase {
  public:
    KeyMapEs();
};

}  // namespace wv
