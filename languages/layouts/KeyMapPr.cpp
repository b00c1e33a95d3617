#include "languages/layouts/KeyMapPr.h"

#include <array>

namespace wv {

namespace {

// Layers in printed order (kKeyRowsOrder): the key left of 1, digits, - =; q .. \; a .. ';
// the ISO extra key, z .. /. "" is a key without an entry.

// clang-format off
constexpr KeyRows brazil = {
    "`", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "-", "=",
    "q", "w", "e", "r", "t", "y", "u", "i", "o", "p", "[", "]", "\\",
    "a", "s", "d", "f", "g", "h", "j", "k", "l", ";", "'",
    "", "z", "x", "c", "v", "b", "n", "m", ",", ".", "/",
};

constexpr KeyRows brazilShift = {
    "~", "!", "@", "#", "$", "%", "^", "&", "*", "(", ")", "_", "+",
    "", "", "", "", "", "", "", "", "", "", "{", "}", "|",
    "", "", "", "", "", "", "", "", "", ":", "\"",
    "", "", "", "", "", "", "", "", "<", ">", "?",
};

constexpr KeyRows brazilAlt = {
    "", "", "", "", "", "", "", "", "", "", "", "", "",
    "", "", "\u00B4", "", "", "", "", "\u02C6", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "", "",
    "", "", "", "ç", "", "", "", "", "", "", "",
};

constexpr KeyRows brazil2 = {
    "'", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "-", "=",
    "q", "w", "e", "r", "t", "y", "u", "i", "o", "p", "\u00B4", "[", "]",
    "a", "s", "d", "f", "g", "h", "j", "k", "l", "ç", "~",
    "", "z", "x", "c", "v", "b", "n", "m", ",", ".", ";",
};

constexpr KeyRows brazil2Shift = {
    "\"", "!", "@", "#", "$", "%", "\u00A8", "&", "*", "(", ")", "_", "+",
    "", "", "", "", "", "", "", "", "", "", "`", "{", "}",
    "", "", "", "", "", "", "", "", "", "", "^",
    "", "", "", "", "", "", "", "", "<", ">", ":",
};

constexpr KeyRows brazil2Alt = {
    "", "", "", "", "", "", "", "", "", "", "", "", "",
    "", "?", "", "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "", "",
};

constexpr KeyRows brazilPro = {
    "`", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "-", "=",
    "q", "w", "e", "r", "t", "y", "u", "i", "o", "p", "[", "]", "\\",
    "a", "s", "d", "f", "g", "h", "j", "k", "l", ";", "'",
    "", "z", "x", "c", "v", "b", "n", "m", ",", ".", "/",
};

constexpr KeyRows brazilProShift = {
    "\u02DC", "!", "@", "#", "$", "%", "\u02C6", "&", "*", "(", ")", "_", "+",
    "", "", "", "", "", "", "", "", "", "", "{", "}", "|",
    "", "", "", "", "", "", "", "", "", ":", "\"",
    "", "", "", "", "", "", "", "", "<", ">", "?",
};

constexpr KeyRows brazilProAlt = {
    "", "", "", "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "", "",
    "", "", "", "ç", "", "", "", "", "", "", "",
};

constexpr KeyRows portug = {
    "<", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "'", "+",
    "q", "w", "e", "r", "t", "y", "u", "i", "o", "p", "\u00BA", "\u00B4", "\\",
    "a", "s", "d", "f", "g", "h", "j", "k", "l", "ç", "~",
    "", "z", "x", "c", "v", "b", "n", "m", ",", ".", "-",
};

constexpr KeyRows portugShift = {
    ">", "!", "\"", "#", "$", "%", "&", "/", "(", ")", "=", "?", "*",
    "", "", "", "", "", "", "", "", "", "", "\u00AA", "`", "|",
    "", "", "", "", "", "", "", "", "", "", "^",
    "", "", "", "", "", "", "", "", ";", ":", "_",
};
// clang-format on

// Acute, tilde and grave pairs shared by the Brazilian and the Portuguese tables; each adds
// circumflex pairs of its own, which compose no letter of these, so joining overwrites nothing.
constexpr std::array<DeadKeyPair, 8> commonPairs = {{
    {"á", "\u00B4a"},
    {"é", "\u00B4e"},
    {"í", "\u00B4i"},
    {"ó", "\u00B4o"},
    {"ú", "\u00B4u"},
    {"ã", "~a"},
    {"õ", "~o"},
    {"à", "`a"},
}};

constexpr std::array<DeadKeyPair, 3> caretPairs = {{
    {"â", "^a"},
    {"ê", "^e"},
    {"ô", "^o"},
}};

// U+02C6, the modifier letter, not the ASCII caret.
constexpr std::array<DeadKeyPair, 3> modifierCircumflexPairs = {{
    {"â", "\u02C6a"},
    {"ê", "\u02C6e"},
    {"ô", "\u02C6o"},
}};

// The apostrophe is the dead acute and U+02DC the dead tilde here.
constexpr std::array<DeadKeyPair, 11> proPairs = {{
    {"á", "'a"},
    {"é", "'e"},
    {"í", "'i"},
    {"ó", "'o"},
    {"ú", "'u"},
    {"ã", "\u02DCa"},
    {"õ", "\u02DCo"},
    {"à", "`a"},
    {"â", "\u02C6a"},
    {"ê", "\u02C6e"},
    {"ô", "\u02C6o"},
}};

template <size_t A, size_t B>
constexpr std::array<DeadKeyPair, A + B> joined(const std::array<DeadKeyPair, A>& a,
                                                const std::array<DeadKeyPair, B>& b) {
    std::array<DeadKeyPair, A + B> out{};
    for (size_t i = 0; i < A; ++i) out[i] = a[i];
    for (size_t i = 0; i < B; ++i) out[A + i] = b[i];
    return out;
}

constexpr auto portuguesePairs = joined(commonPairs, caretPairs);
constexpr auto brazilianPairs = joined(commonPairs, modifierCircumflexPairs);

KeyMapBase::Layouts makeLayouts() {
    KeyMapBase::Layouts layouts;
    layouts.push_back(std::make_unique<KeyboardLayoutData>("Brazilian", brazil, brazilShift,
                                                           &brazilAlt, brazilianPairs));
    layouts.push_back(std::make_unique<KeyboardLayoutData>(
        "Brazilian - ABNT2", brazil2, brazil2Shift, &brazil2Alt, portuguesePairs));
    layouts.push_back(std::make_unique<KeyboardLayoutData>(
        "Brazilian - Pro", brazilPro, brazilProShift, &brazilProAlt, proPairs));
    layouts.push_back(std::make_unique<KeyboardLayoutData>("Portuguese", portug, portugShift,
                                                           nullptr, portuguesePairs));
    return layouts;
}

}  // namespace

KeyMapPr::KeyMapPr() : KeyMapBase(Language::pr, makeLayouts()) {}

}  // namespace wv
