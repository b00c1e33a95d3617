#include "languages/layouts/KeyMapFr.h"

namespace wv {

namespace {

// Layers in printed order (kKeyRowsOrder): the key left of 1, digits, - =; q .. \; a .. ';
// the ISO extra key, z .. /. "" is a key without an entry.

// clang-format off
constexpr KeyRows azerty = {
    "<", "&", "é", "\"", "'", "(", "§", "è", "!", "ç", "à", ")", "-",
    "a", "z", "e", "r", "t", "y", "u", "i", "o", "p", "^", "$", "`",
    "q", "s", "d", "f", "g", "h", "j", "k", "l", "m", "ù",
    "", "w", "x", "c", "v", "b", "n", ",", ";", ":", "=",
};

constexpr KeyRows azertyShift = {
    ">", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "\u00B0", "_",
    "", "", "", "", "", "", "", "", "", "", "\u00A8", "*", "£",
    "", "", "", "", "", "", "", "", "", "", "%",
    "", "", "", "", "", "", "", "?", ".", "/", "+",
};

constexpr KeyRows azertyPC = {
    "<", "&", "é", "\"", "'", "(", "-", "è", "_", "ç", "à", ")", "=",
    "a", "z", "e", "r", "t", "y", "u", "i", "o", "p", "^", "$", "*",
    "q", "s", "d", "f", "g", "h", "j", "k", "l", "m", "ù",
    "", "w", "x", "c", "v", "b", "n", ",", ";", ":", "!",
};

constexpr KeyRows azertyShiftPC = {
    ">", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "\u00B0", "+",
    "", "", "", "", "", "", "", "", "", "", "\u00A8", "£", "\u03BC",
    "", "", "", "", "", "", "", "", "", "", "%",
    "", "", "", "", "", "", "", "?", ".", "/", "§",
};

constexpr KeyRows qwertyCA = {
    "ù", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "-", "=",
    "q", "w", "e", "r", "t", "y", "u", "i", "o", "p", "^", "ç", "à",
    "a", "s", "d", "f", "g", "h", "j", "k", "l", ";", "è",
    "", "z", "x", "c", "v", "b", "n", "m", ",", ".", "é",
};

constexpr KeyRows qwertyShiftCA = {
    "", "!", "@", "#", "$", "%", "?", "&", "*", "(", ")", "_", "+",
    "", "", "", "", "", "", "", "", "", "", "\u00A8", "", "",
    "", "", "", "", "", "", "", "", "", ":", "",
    "", "", "", "", "", "", "", "", "'", "\"", "",
};

constexpr KeyRows qwertzSW = {
    "<", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "'", "^",
    "q", "w", "e", "r", "t", "z", "u", "i", "o", "p", "ü", "\u00A8", "$",
    "a", "s", "d", "f", "g", "h", "j", "k", "l", "é", "à",
    "", "y", "x", "c", "v", "b", "n", "m", ",", ".", "-",
};

constexpr KeyRows qwertzSWShift = {
    ">", "+", "\"", "*", "ç", "%", "&", "/", "(", ")", "=", "?", "`",
    "", "", "", "", "", "", "", "", "", "", "", "!", "£",
    "", "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", ";", ":", "_",
};

constexpr KeyRows bepo = {
    "$", "\"", "«", "»", "(", ")", "@", "+", "-", "/", "*", "=", "%",
    "b", "é", "p", "o", "è", "^", "v", "d", "l", "j", "z", "w", "ç",
    "a", "u", "i", "e", ",", "c", "t", "s", "r", "n", "m",
    "", "à", "y", "x", ".", "k", "'", "q", "g", "h", "f",
};

constexpr KeyRows bepoShift = {
    "#", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "\u00B0", "`",
    "", "", "", "", "", "!", "", "", "", "", "", "", "",
    "", "", "", "", ";", "", "", "", "", "", "",
    "", "", "", "", ":", "", "?", "", "", "", "",
};
// clang-format on

// The same pairs go to every layout; each keeps those it can type.
constexpr DeadKeyPair frenchDeadKeys[] = {
    {"ê", "^e"}, {"â", "^a"}, {"ô", "^o"}, {"î", "^i"}, {"û", "^u"},
    {"è", "`e"}, {"à", "`a"}, {"ò", "`o"}, {"ì", "`i"}, {"ù", "`u"},
};

KeyMapBase::Layouts makeLayouts() {
    KeyMapBase::Layouts layouts;
    layouts.push_back(std::make_unique<KeyboardLayoutData>("AZERTY", azerty, azertyShift, nullptr,
                                                           frenchDeadKeys));
    layouts.push_back(std::make_unique<KeyboardLayoutData>("AZERTY PC", azertyPC, azertyShiftPC,
                                                           nullptr, frenchDeadKeys));
    layouts.push_back(std::make_unique<KeyboardLayoutData>("QWERTY Canada", qwertyCA, qwertyShiftCA,
                                                           nullptr, frenchDeadKeys));
    layouts.push_back(std::make_unique<KeyboardLayoutData>("QWERTZ Swiss", qwertzSW, qwertzSWShift,
                                                           nullptr, frenchDeadKeys));
    layouts.push_back(std::make_unique<KeyboardLayoutData>("B\u00C9PO", bepo, bepoShift, nullptr,
                                                           frenchDeadKeys));
    return layouts;
}

}  // namespace

KeyMapFr::KeyMapFr() : KeyMapBase(Language::fr, makeLayouts()) {}

}  // namespace wv
