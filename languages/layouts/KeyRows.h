#pragma once

#include <array>
#include <string_view>

namespace wv {

// A layer of a layout as it is printed: the 48 character keys row by row, in the order of
// kKeyRowsOrder, each entry one character or empty for a key without an entry.
using KeyRows = std::array<std::string_view, 48>;

// The key codes of the 48 character keys, in printed order:
// row 1 (left of 1, digits, - =), row 2 (q .. \), row 3 (a .. '), row 4 (ISO extra key, z .. /).
inline constexpr std::array<int, 48> kKeyRowsOrder = {
    50, 18, 19, 20, 21, 23, 22, 26, 28, 25, 29, 27, 24,  //
    12, 13, 14, 15, 17, 16, 32, 34, 31, 35, 33, 30, 42,  //
    0,  1,  2,  3,  5,  4,  38, 40, 37, 41, 39,          //
    10, 6,  7,  8,  9,  11, 45, 46, 43, 47, 44,
};

// One dead-key pair: the composed letter and the two key presses that type it, dead key first.
struct DeadKeyPair {
    std::string_view composed;
    std::string_view sequence;
};

}  // namespace wv
