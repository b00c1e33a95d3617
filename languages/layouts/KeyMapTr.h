#pragma once

#include "languages/KeyMapBase.h"

namespace wv {

// The Turkish layouts, in the order their layout numbers are stored: "Turkish F", "Turkish Q".
class KeyMapTr : public KeyMapBase {
  public:
    KeyMapTr();
};

}  // namespace wv
