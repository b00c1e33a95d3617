#pragma once

#include "languages/KeyMapBase.h"

namespace wv {

// The English layouts, in the order their layout numbers are stored: "QWERTY", "DVORAK",
// "COLEMAK", "AZERTY", "QWERTZ", "QWERTZ Swiss", "QGMLWY", "XVLCWK Neo". The Swiss and Neo
// layouts read the tables of the German key map.
class KeyMapEn : public KeyMapBase {
  public:
    KeyMapEn();
};

}  // namespace wv
