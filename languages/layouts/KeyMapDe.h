#pragma once

#include "languages/KeyMapBase.h"

namespace wv {

// The German layouts, in the order their layout numbers are stored: "QWERTZ", "QWERTZ Swiss",
// "XVLCWK Neo".
class KeyMapDe : public KeyMapBase {
  public:
    KeyMapDe();

    // The five tables that the English key map uses too: built once per process on first use
    // (thread-safe), never changed afterwards, so every layout that holds one reads the same.
    static const KeyboardLayoutData::Table& qwertzSwiss();
    static const KeyboardLayoutData::Table& qwertzSwissShift();
    static const KeyboardLayoutData::Table& neo();
    static const KeyboardLayoutData::Table& neoShift();
    static const KeyboardLayoutData::Table& neoAlt();
};

}  // namespace wv
