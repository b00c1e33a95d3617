#pragma once

#include "languages/KeyMapBase.h"

namespace wv {

// The Greek key map: one layout, "Greek". The accent keys type spacing accents, not dead keys.
class KeyMapGr : public KeyMapBase {
  public:
    KeyMapGr();
};

}  // namespace wv
