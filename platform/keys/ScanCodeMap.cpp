#include "platform/keys/ScanCodeMap.h"

#include <array>
#include <utility>

#include "platform/keys/MacKeyCodes.h"

namespace wv {

namespace {

constexpr int kTableSize = 256;

// XKB keycode -> virtual key code, -1 where nothing is mapped.
constexpr std::array<int, kTableSize> makeTable() {
    std::array<int, kTableSize> table{};
    for (int& code : table) code = -1;
    constexpr std::pair<int, int> entries[] = {
        // Row 1: the key left of 1, 1 .. 0, minus, equal.
        {49, keys::kLeftOfOne},
        {10, 18},
        {11, 19},
        {12, 20},
        {13, 21},
        {14, 23},
        {15, 22},
        {16, 26},
        {17, 28},
        {18, 25},
        {19, 29},
        {20, 27},
        {21, 24},
        // Row 2: q .. p, both brackets, backslash (the key left of Return on ISO keyboards).
        {24, 12},
        {25, 13},
        {26, 14},
        {27, 15},
        {28, 17},
        {29, 16},
        {30, 32},
        {31, 34},
        {32, 31},
        {33, 35},
        {34, 33},
        {35, 30},
        {51, 42},
        // Row 3: a .. l, semicolon, apostrophe.
        {38, 0},
        {39, 1},
        {40, 2},
        {41, 3},
        {42, 5},
        {43, 4},
        {44, 38},
        {45, 40},
        {46, 37},
        {47, 41},
        {48, 39},
        // Row 4: the ISO extra key, z .. m, comma, period, slash.
        {94, keys::kIsoExtra},
        {52, 6},
        {53, 7},
        {54, 8},
        {55, 9},
        {56, 11},
        {57, 45},
        {58, 46},
        {59, 43},
        {60, 47},
        {61, 44},
        // Editing and whitespace.
        {36, keys::kReturn},
        {104, keys::kKeypadEnter},
        {23, keys::kTab},
        {65, keys::kSpace},
        {22, keys::kDelete},
        {9, keys::kEscape},
        // Modifiers: Ctrl acts as Command, Super as Control.
        {50, keys::kShift},
        {62, keys::kRightShift},
        {66, keys::kCapsLock},
        {37, keys::kCommand},
        {105, keys::kRightCommand},
        {64, keys::kOption},
        {108, keys::kRightOption},
        {133, keys::kControl},
        {134, keys::kRightControl},
        // Arrows.
        {113, keys::kLeftArrow},
        {114, keys::kRightArrow},
        {116, keys::kDownArrow},
        {111, keys::kUpArrow},
    };
    for (auto [xkb, mac] : entries) table[size_t(xkb)] = mac;
    return table;
}

constexpr auto kTable = makeTable();

}  // namespace

std::optional<int> ScanCodeMap::macKeyCode(int nativeScanCode) {
    if (nativeScanCode < 0 || nativeScanCode >= kTableSize) return std::nullopt;
    int code = kTable[size_t(nativeScanCode)];
    if (code < 0) return std::nullopt;
    return code;
}

int ScanCodeMap::forLayout(int macKeyCode, bool isoTable) {
    if (!isoTable) return macKeyCode;
    if (macKeyCode == keys::kLeftOfOne) return keys::kIsoExtra;
    if (macKeyCode == keys::kIsoExtra) return keys::kLeftOfOne;
    return macKeyCode;
}

}  // namespace wv
