#pragma once

#include "platform/ui/values/Color.h"

namespace wv {

// The colour of typos: the error overlay and heat shade of a key, and mistyped characters.
inline constexpr Color errorColor() { return Color::rgb(1.0, 45 / 255.0, 85 / 255.0); }
// The colour of the next key's overlay.
inline constexpr Color highlightColor() { return Color::rgb255(74, 144, 226); }

}  // namespace wv
