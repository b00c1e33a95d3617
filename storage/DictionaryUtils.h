#pragma once

#include <string_view>

#include "platform/plist/Value.h"

namespace wv {

// Typed reads from a settings dictionary: the stored value when it converts, else the default.
// Numbers convert to integers (reals truncate) and Booleans to 0 and 1; a text never converts.
int64_t intForKey(const plist::Dictionary& dictionary, std::string_view key, int64_t fallback);
// Booleans, and numbers (non-zero is true), convert; a text never converts.
bool boolForKey(const plist::Dictionary& dictionary, std::string_view key, bool fallback);

}  // namespace wv
