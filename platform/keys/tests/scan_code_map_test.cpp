#include <gtest/gtest.h>

#include <set>

#include "platform/keys/MacKeyCodes.h"
#include "platform/keys/ScanCodeMap.h"

namespace wv {
namespace {

struct Key {
    int xkb;
    const char* legend;
    int mac;
};

// A US (ANSI) keyboard, every character key, by its legend.
const Key kUsKeyboard[] = {
    {49, "`", 50}, {10, "1", 18},  {11, "2", 19}, {12, "3", 20}, {13, "4", 21}, {14, "5", 23},
    {15, "6", 22}, {16, "7", 26},  {17, "8", 28}, {18, "9", 25}, {19, "0", 29}, {20, "-", 27},
    {21, "=", 24}, {24, "q", 12},  {25, "w", 13}, {26, "e", 14}, {27, "r", 15}, {28, "t", 17},
    {29, "y", 16}, {30, "u", 32},  {31, "i", 34}, {32, "o", 31}, {33, "p", 35}, {34, "[", 33},
    {35, "]", 30}, {51, "\\", 42}, {38, "a", 0},  {39, "s", 1},  {40, "d", 2},  {41, "f", 3},
    {42, "g", 5},  {43, "h", 4},   {44, "j", 38}, {45, "k", 40}, {46, "l", 37}, {47, ";", 41},
    {48, "'", 39}, {52, "z", 6},   {53, "x", 7},  {54, "c", 8},  {55, "v", 9},  {56, "b", 11},
    {57, "n", 45}, {58, "m", 46},  {59, ",", 43}, {60, ".", 47}, {61, "/", 44},
};

// A German ISO keyboard: same positions, other legends, one key more beside the left Shift.
const Key kGermanKeyboard[] = {
    {49, "^", 50}, {10, "1", 18}, {11, "2", 19}, {12, "3", 20}, {13, "4", 21}, {14, "5", 23},
    {15, "6", 22}, {16, "7", 26}, {17, "8", 28}, {18, "9", 25}, {19, "0", 29}, {20, "ß", 27},
    {21, "´", 24}, {24, "q", 12}, {25, "w", 13}, {26, "e", 14}, {27, "r", 15}, {28, "t", 17},
    {29, "z", 16}, {30, "u", 32}, {31, "i", 34}, {32, "o", 31}, {33, "p", 35}, {34, "ü", 33},
    {35, "+", 30}, {51, "#", 42}, {38, "a", 0},  {39, "s", 1},  {40, "d", 2},  {41, "f", 3},
    {42, "g", 5},  {43, "h", 4},  {44, "j", 38}, {45, "k", 40}, {46, "l", 37}, {47, "ö", 41},
    {48, "ä", 39}, {94, "<", 10}, {52, "y", 6},  {53, "x", 7},  {54, "c", 8},  {55, "v", 9},
    {56, "b", 11}, {57, "n", 45}, {58, "m", 46}, {59, ",", 43}, {60, ".", 47}, {61, "-", 44},
};

TEST(ScanCodeMap, EveryCharacterKeyOfAUsKeyboard) {
    std::set<int> seen;
    for (const Key& k : kUsKeyboard) {
        EXPECT_EQ(ScanCodeMap::macKeyCode(k.xkb), k.mac) << k.legend;
        EXPECT_EQ(ScanCodeMap::macKeyCode(k.xkb, false), k.mac) << k.legend;
        seen.insert(k.mac);
    }
    EXPECT_EQ(seen.size(), 47u);
}

TEST(ScanCodeMap, EveryCharacterKeyOfAGermanIsoKeyboard) {
    std::set<int> seen;
    for (const Key& k : kGermanKeyboard) {
        EXPECT_EQ(ScanCodeMap::macKeyCode(k.xkb), k.mac) << k.legend;
        seen.insert(k.mac);
    }
    EXPECT_EQ(seen.size(), 48u);
}

TEST(ScanCodeMap, IsoDrawnTablesSwapTheKeyLeftOfOneAndTheExtraKey) {
    EXPECT_EQ(ScanCodeMap::macKeyCode(94, true), 50);  // "<" beside the left Shift
    EXPECT_EQ(ScanCodeMap::macKeyCode(49, true), 10);  // "^" left of 1
    EXPECT_EQ(ScanCodeMap::macKeyCode(94, false), 10);
    EXPECT_EQ(ScanCodeMap::macKeyCode(49, false), 50);
    for (const Key& k : kGermanKeyboard) {
        if (k.xkb == 94 || k.xkb == 49) continue;
        EXPECT_EQ(ScanCodeMap::macKeyCode(k.xkb, true), k.mac) << k.legend;
    }
    EXPECT_EQ(ScanCodeMap::forLayout(keys::kReturn, true), keys::kReturn);
}

TEST(ScanCodeMap, ControlKeysModifiersAndArrows) {
    const std::pair<int, int> table[] = {
        {36, keys::kReturn},        {104, keys::kKeypadEnter}, {23, keys::kTab},
        {65, keys::kSpace},         {22, keys::kDelete},       {9, keys::kEscape},
        {50, keys::kShift},         {62, keys::kRightShift},   {66, keys::kCapsLock},
        {64, keys::kOption},        {108, keys::kRightOption}, {37, keys::kCommand},
        {105, keys::kRightCommand}, {133, keys::kControl},     {134, keys::kRightControl},
        {113, keys::kLeftArrow},    {114, keys::kRightArrow},  {116, keys::kDownArrow},
        {111, keys::kUpArrow},
    };
    for (auto [xkb, mac] : table) EXPECT_EQ(ScanCodeMap::macKeyCode(xkb), mac) << xkb;
    EXPECT_EQ(keys::kDelete, 51);
    EXPECT_EQ(keys::kReturn, 36);
    EXPECT_EQ(keys::kEscape, 53);
    EXPECT_EQ(keys::kLeftArrow, 123);
}

TEST(ScanCodeMap, UnknownScanCodesMapToNothing) {
    for (int xkb : {-1, 0, 8, 67 /* F1 */, 255, 256, 100000}) {
        EXPECT_EQ(ScanCodeMap::macKeyCode(xkb), std::nullopt) << xkb;
    }
}

}  // namespace
}  // namespace wv
