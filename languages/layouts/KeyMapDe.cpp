#include "languages/layouts/KeyMapDe.h"

namespace wv {

namespace {

// Layers in printed order (kKeyRowsOrder): the key left of 1, digits, - =; q .. \; a .. ';
// the ISO extra key, z .. /. "" is a key without an entry.

// clang-format off
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

// Shared with the English key map through the accessors below.
constexpr KeyRows qwertzSwissRows = {
    "<", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "'", "^",
    "q", "w", "e", "r", "t", "z", "u", "i", "o", "p", "ü", "\u00A8", "$",
    "a", "s", "d", "f", "g", "h", "j", "k", "l", "ö", "ä",
    "", "y", "x", "c", "v", "b", "n", "m", ",", ".", "-",
};

constexpr KeyRows qwertzSwissShiftRows = {
    ">", "+", "\"", "*", "ç", "%", "&", "/", "(", ")", "=", "?", "`",
    "", "", "", "", "", "", "", "", "", "", "", "!", "£",
    "", "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", ";", ":", "_",
};

constexpr KeyRows neoRows = {
    "<", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "-", "=",
    "x", "v", "l", "c", "w", "k", "h", "g", "f", "q", "ß", "\u00B4", "",
    "u", "i", "a", "e", "o", "s", "n", "r", "t", "d", "y",
    "", "ü", "ö", "ä", "p", "z", "b", "m", ",", ".", "j",
};

constexpr KeyRows neoShiftRows = {
    "~", "\u00B0", "§", "ℓ", "»", "«", "$", "€", "\u201E", "\u201C", "\u201D", "\u2014", "\u00B8",
    "", "", "", "", "", "", "", "", "", "", "", "\u02DC", "",
    "", "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "\u2013", "•", "",
};

constexpr KeyRows neoAltRows = {
    "", "¹", "²", "³", "›", "‹", "¢", "¥", "\u201A", "\u2018", "\u2019", "", "\u02DA",
    "…", "_", "[", "]", "^", "!", "<", ">", "=", "&", "ſ", "/", "",
    "\\", "/", "{", "}", "*", "?", "(", ")", "-", ":", "@",
    "", "#", "$", "|", "~", "`", "\u02DC", "\u00B5", "\"", "'", ";",
};
// clang-format on

KeyMapBase::Layouts makeLayouts() {
    KeyMapBase::Layouts layouts;
    layouts.push_back(std::make_unique<KeyboardLayoutData>("QWERTZ", qwertz, qwertzShift));
    layouts.push_back(std::make_unique<KeyboardLayoutData>("QWERTZ Swiss", KeyMapDe::qwertzSwiss(),
                                                           KeyMapDe::qwertzSwissShift(), nullptr));
    layouts.push_back(std::make_unique<KeyboardLayoutData>(
        "XVLCWK Neo", KeyMapDe::neo(), KeyMapDe::neoShift(), KeyMapDe::neoAlt()));
    return layouts;
}

}  // namespace

const KeyboardLayoutData::Table& KeyMapDe::qwertzSwiss() {
    static const KeyboardLayoutData::Table table =
        std::make_shared<const KeyTable>(qwertzSwissRows);
    return table;
}

const KeyboardLayoutData::Table& KeyMapDe::qwertzSwissShift() {
    static const KeyboardLayoutData::Table table =
        std::make_shared<const KeyTable>(qwertzSwissShiftRows);
    return table;
}

const KeyboardLayoutData::Table& KeyMapDe::neo() {
    static const KeyboardLayoutData::Table table = std::make_shared<const KeyTable>(neoRows);
    return table;
}

const KeyboardLayoutData::Table& KeyMapDe::neoShift() {
    static const KeyboardLayoutData::Table table = std::make_shared<const KeyTable>(neoShiftRows);
    return table;
}

const KeyboardLayoutData::Table& KeyMapDe::neoAlt() {
    static const KeyboardLayoutData::Table table = std::make_shared<const KeyTable>(neoAltRows);
    return table;
}

KeyMapDe::KeyMapDe() : KeyMapBase(Language::de, makeLayouts()) {}

}  // namespace wv
