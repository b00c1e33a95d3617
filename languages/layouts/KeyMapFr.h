#pragma once

#include "languages/KeyMapBase.h"

namespace wv {

// The French layouts, in the order their layout numbers are stored: "AZERTY", "AZERTY PC",
// "QWERTY Canada", "QWERTZ Swiss", "BÉPO". Each gets the circumflex and grave dead-key pairs
// it can type.
class KeyMapFr : public KeyMapBase {
  public:
    KeyMapFr();
};

}  // namespace wv
