#pragma once

#include "languages/KeyMapBase.h"

namespace wv {

// The Russian layouts, in the order their layout numbers are stored: "ЙЦУКЕН Mac",
// "ЙЦУКЕН Win", "Машинопись".
class KeyMapRu : public KeyMapBase {
  public:
    KeyMapRu();
};

}  // namespace wv
