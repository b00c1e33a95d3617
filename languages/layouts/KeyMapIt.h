#pragma once

#include "languages/KeyMapBase.h"

namespace wv {

// The Italian layouts, in the order their layout numbers are stored: "Italiano", "Typewriter".
class KeyMapIt : public KeyMapBase {
  public:
    KeyMapIt();
};

}  // namespace wv
