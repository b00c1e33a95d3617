#pragma once

#include "languages/KeyMapBase.h"

namespace wv {

// The Portuguese layouts, in the order their layout numbers are stored: "Brazilian",
// "Brazilian - ABNT2", "Brazilian - Pro", "Portuguese". The only ones with both Option layers
// and dead-key pairs; accented vowels are typed only as pairs.
class KeyMapPr : public KeyMapBase {
  public:
    KeyMapPr();
};

}  // namespace wv
