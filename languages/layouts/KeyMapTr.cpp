#include "languages/layouts/KeyMapTr.h"

namespace wv {

namespace {

// Layers in printed order (kKeyRowsOrder): the key left of 1, digits, - =; q .. \; a .. ';
// the ISO extra key, z .. /. "" is a key without an entry.

// clang-format off
constexpr KeyRows f = {
    "w", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "x", "q",
    "f", "g", "ğ", "\u0131", "o", "d", "r", "n", "h", "p", ";", ">", "=",
    "u", "i", "e", "a", "ü", "t", "k", "m", "l", "y", "ş",
    "", "j", "ö", "v", "c", "ç", "z", "s", "b", ".", ",",
};

constexpr KeyRows fShift = {
    "", "!", "*", "\"", "'", "(", "/", ")", "_", "%", ":", "", "",
    "", "", "", "", "", "", "", "", "", "", "$", "<", "+",
    "", "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "?", "-",
};

constexpr KeyRows q = {
    "<", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "*", "-",
    "q", "w", "e", "r", "t", "y", "u", "\u0131", "o", "p", "ğ", "ü", ",",
    "a", "s", "d", "f", "g", "h", "j", "k", "l", "ş", "i",
    "", "z", "x", "c", "v", "b", "n", "m", "ö", "ç", ".",
};

constexpr KeyRows qShift = {
    ">", "!", "'", "^", "+", "%", "&", "/", "(", ")", "=", "?", "_",
    "", "", "", "", "", "", "", "", "", "", "", "", ";",
    "", "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "", ":",
};
// clang-format on

KeyMapBase::Layouts makeLayouts() {
    KeyMapBase::Layouts layouts;
    layouts.push_back(std::make_unique<KeyboardLayoutData>("Turkish F", f, fShift));
    layouts.push_back(std::make_unique<KeyboardLayoutData>("Turkish Q", q, qShift));
    return layouts;
}

}  // namespace

KeyMapTr::KeyMapTr() : KeyMapBase(Language::tr, makeLayouts()) {}

}  // namespace wv
