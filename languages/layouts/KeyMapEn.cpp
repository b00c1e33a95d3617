#include "languages/layouts/KeyMapEn.h"

#include "languages/layouts/KeyMapDe.h"

namespace wv {

namespace {

// Layers in printed order (kKeyRowsOrder): the key left of 1, digits, - =; q .. \; a .. ';
// the ISO extra key, z .. /. "" is a key without an entry.

// clang-format off
constexpr KeyRows qwerty = {
    "`", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "-", "=",
    "q", "w", "e", "r", "t", "y", "u", "i", "o", "p", "[", "]", "\\",
    "a", "s", "d", "f", "g", "h", "j", "k", "l", ";", "'",
    "", "z", "x", "c", "v", "b", "n", "m", ",", ".", "/",
};

constexpr KeyRows qwertyShift = {
    "~", "!", "@", "#", "$", "%", "^", "&", "*", "(", ")", "_", "+",
    "", "", "", "", "", "", "", "", "", "", "{", "}", "|",
    "", "", "", "", "", "", "", "", "", ":", "\"",
    "", "", "", "", "", "", "", "", "<", ">", "?",
};

constexpr KeyRows dvorak = {
    "`", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "[", "]",
    "'", ",", ".", "p", "y", "f", "g", "c", "r", "l", "/", "=", "\\",
    "a", "o", "e", "u", "i", "d", "h", "t", "n", "s", "-",
    "", ";", "q", "j", "k", "x", "b", "m", "w", "v", "z",
};

constexpr KeyRows drorakShift = {
    "~", "!", "@", "#", "$", "%", "^", "&", "*", "(", ")", "{", "}",
    "", "", "", "", "", "", "", "", "", "", "?", "+", "|",
    "", "", "", "", "", "", "", "", "", "", "_",
    "", ":", "", "", "", "", "", "", "", "", "",
};

constexpr KeyRows colemak = {
    "`", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "-", "=",
    "q", "w", "f", "p", "g", "j", "l", "u", "y", ";", "[", "]", "\\",
    "a", "r", "s", "t", "d", "h", "n", "e", "i", "o", "'",
    "", "z", "x", "c", "v", "b", "k", "m", ",", ".", "/",
};

constexpr KeyRows colemakShift = {
    "~", "!", "@", "#", "$", "%", "^", "&", "*", "(", ")", "_", "+",
    "", "", "", "", "", "", "", "", "", ":", "{", "}", "|",
    "", "", "", "", "", "", "", "", "", "", "\"",
    "", "", "", "", "", "", "", "", "<", ">", "?",
};

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

constexpr KeyRows qwertz = {
    "<", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "ß", "\u00B4",
    "q", "w", "e", "r", "t", "z", "u", "i", "o", "p", "ü", "+", "#",
    "a", "s", "d", "f", "g", "h", "j", "k", "l", "ö", "ä",
    "", "y", "x", "c", "v", "b", "n", "m", ",", ".", "-",
};

constexpr KeyRows qwertzShift = {
    ">", "!", "\"", "#", "$", "%", "&", "/", "(", ")", "=", "?", "`",
    "", "", "", "", "", "", "", "", "", "", "", "*", "'",
    "", "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", ";", ":", "_",
};

constexpr KeyRows qgmlwy = {
    "`", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "-", "=",
    "q", "g", "m", "l", "w", "y", "f", "u", "b", ";", "[", "]", "\\",
    "d", "s", "t", "n", "r", "i", "a", "e", "o", "h", "'",
    "", "z", "x", "c", "v", "j", "k", "p", ",", ".", "/",
};

constexpr KeyRows qgmlwyShift = {
    "~", "!", "@", "#", "$", "%", "^", "&", "*", "(", ")", "_", "+",
    "", "", "", "", "", "", "", "", "", ":", "{", "}", "|",
    "", "", "", "", "", "", "", "", "", "", "\"",
    "", "", "", "", "", "", "", "", "<", ">", "?",
};
// clang-format on

KeyMapBase::Layouts makeLayouts() {
    KeyMapBase::Layouts layouts;
    layouts.push_back(std::make_unique<KeyboardLayoutData>("QWERTY", qwerty, qwertyShift));
    layouts.push_back(std::make_unique<KeyboardLayoutData>("DVORAK", dvorak, drorakShift));
    layouts.push_back(std::make_unique<KeyboardLayoutData>("COLEMAK", colemak, colemakShift));
    layouts.push_back(std::make_unique<KeyboardLayoutData>("AZERTY", azerty, azertyShift));
    layouts.push_back(std::make_unique<KeyboardLayoutData>("QWERTZ", qwertz, qwertzShift));
    layouts.push_back(std::make_unique<KeyboardLayoutData>("QWERTZ Swiss", KeyMapDe::qwertzSwiss(),
                                                           KeyMapDe::qwertzSwissShift(), nullptr));
    layouts.push_back(std::make_unique<KeyboardLayoutData>("QGMLWY", qgmlwy, qgmlwyShift));
    layouts.push_back(std::make_unique<KeyboardLayoutData>(
        "XVLCWK Neo", KeyMapDe::neo(), KeyMapDe::neoShift(), KeyMapDe::neoAlt()));
    return layouts;
}

}  // namespace

KeyMapEn::KeyMapEn() : KeyMapBase(Language::en, makeLayouts()) {}

}  // namespace wv
