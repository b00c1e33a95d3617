#pragma once

#include "languages/KeyMapBase.h"

namespace wv {

// The Ukrainian layouts, in the order their layout numbers are stored: "ЙЦУКЕН Mac",
// "ЙЦУКЕН Win".
class KeyMapUk : public KeyMapBase {
  public:
    KeyMapUk();
};

}  // namespace wv
