#pragma once

#include <cstddef>
#include <string_view>

namespace wv {

// Counting user-perceived characters is on the hot path of exercise-line building (every
// length is recomputed on every step), so these skip the break rules for plain ASCII and
// keep one break iterator per thread for everything else.

// Number of user-perceived characters (extended grapheme clusters) of UTF-8 text.
size_t graphemeCount(std::string_view utf8);

// Byte size of the first user-perceived character; 0 for empty text.
size_t firstGraphemeSize(std::string_view utf8);

}  // namespace wv
