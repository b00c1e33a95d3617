#include "languages/layouts/KeyMapEs.h"

namespace wv {

namespace {

// Layers in printed order (kKeyRowsOrder): the key left of 1, digits, - =; q .. \; a .. ';
// the ISO extra key, z .. /. "" is a key without an entry.

// clang-format off
constexpr KeyRows qwerty = {
    "<", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "-", "=",
    "q", "w", "e", "r", "t", "y", "u", "i", "o", "p", "\u00B4", "`", "'",
    "a", "s", "d", "f", "g", "h", "j", "k", "l", "ñ", ";",
    "", "z", "x", "c", "v", "b", "n", "m", ",", ".", "ç",
};

constexpr KeyRows qwertyShift = {
    ">", "¡", "!", "#", "$", "%", "/", "&", "*", "(", ")", "_", "+",
    "", "", "", "", "", "", "", "", "", "", "\u00BA", "\u00A8", "\"",
    "", "", "", "", "", "", "", "", "", "", ":",
    "", "", "", "", "", "", "", "", "¿", "?", "",
};

constexpr KeyRows qwertyISO = {
    "<", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "'", "¡",
    "q", "w", "e", "r", "t", "y", "u", "i", "o", "p", "`", "+", "ç",
    "a", "s", "d", "f", "g", "h", "j", "k", "l", "ñ", "\u00B4",
    "", "z", "x", "c", "v", "b", "n", "m", ",", ".", "-",
};

constexpr KeyRows qwertyShiftISO = {
    ">", "!", "\"", "·", "$", "%", "&", "/", "(", ")", "=", "?", "¿",
    "", "", "", "", "", "", "", "", "", "", "^", "*", "",
    "", "", "", "", "", "", "", "", "", "", "\u00A8",
    "", "", "", "", "", "", "", "", ";", ":", "_",
};
// clang-format on

KeyMapBase::Layouts makeLayouts() {
    KeyMapBase::Layouts layouts;
    layouts.push_back(std::make_unique<KeyboardLayoutData>("QWERTY", qwerty, qwertyShift));
    layouts.push_back(
        std::make_unique<KeyboardLayoutData>("QWERTY ISO", qwertyISO, qwertyShiftISO));
    return layouts;
}

}  // namespace

KeyMapEs::KeyMapEs() : KeyMapBase(Language::es, makeLayouts()) {}

}  // namespace wv
