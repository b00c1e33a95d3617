#include "languages/layouts/KeyMapIt.h"

namespace wv {

namespace {

// Layers in printed order (kKeyRowsOrder): the key left of 1, digits, - =; q .. \; a .. ';
// the ISO extra key, z .. /. "" is a key without an entry.

// clang-format off
constexpr KeyRows qwerty = {
    "<", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "'", "ì",
    "q", "w", "e", "r", "t", "y", "u", "i", "o", "p", "è", "+", "ù",
    "a", "s", "d", "f", "g", "h", "j", "k", "l", "ò", "à",
    "", "z", "x", "c", "v", "b", "n", "m", ",", ".", "-",
};

constexpr KeyRows qwertyShift = {
    ">", "!", "\"", "£", "$", "%", "&", "/", "(", ")", "=", "?", "^",
    "", "", "", "", "", "", "", "", "", "", "é", "*", "§",
    "", "", "", "", "", "", "", "", "", "ç", "\u00B0",
    "", "", "", "", "", "", "", "", ";", ":", "_",
};

constexpr KeyRows typew = {
    "<", "&", "\"", "'", "(", "ç", "è", ")", "£", "à", "é", "-", "=",
    "q", "z", "e", "r", "t", "y", "u", "i", "o", "p", "ì", "$", "§",
    "a", "s", "d", "f", "g", "h", "j", "k", "l", "m", "ù",
    "", "w", "x", "c", "v", "b", "n", ",", ";", ":", "ò",
};

constexpr KeyRows typewShift = {
    ">", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "_", "+",
    "", "", "", "", "", "", "", "", "", "", "^", "*", "\u00B0",
    "", "", "", "", "", "", "", "", "", "", "%",
    "", "", "", "", "", "", "", "?", ".", "/", "!",
};
// clang-format on

KeyMapBase::Layouts makeLayouts() {
    KeyMapBase::Layouts layouts;
    layouts.push_back(std::make_unique<KeyboardLayoutData>("Italiano", qwerty, qwertyShift));
    layouts.push_back(std::make_unique<KeyboardLayoutData>("Typewriter", typew, typewShift));
    return layouts;
}

}  // namespace

KeyMapIt::KeyMapIt() : KeyMapBase(Language::it, makeLayouts()) {}

}  // namespace wv
