#include "languages/layouts/KeyMapUk.h"

namespace wv {

namespace {

// Layers in printed order (kKeyRowsOrder): the key left of 1, digits, - =; q .. \; a .. ';
// the ISO extra key, z .. /. "" is a key without an entry.

// clang-format off
constexpr KeyRows win = {
    "\u2019", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "-", "=",
    "й", "ц", "у", "к", "е", "н", "г", "ш", "щ", "з", "х", "ї", "ґ",
    "ф", "\u0456", "в", "а", "п", "р", "о", "л", "д", "ж", "є",
    "", "я", "ч", "с", "м", "и", "т", "ь", "б", "ю", ".",
};

constexpr KeyRows winShift = {
    "~", "!", "\"", "\u2116", ";", "%", ":", "?", "*", "(", ")", "_", "+",
    "", "", "", "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "", ",",
};

constexpr KeyRows mac = {
    "\u2019", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "-", "=",
    "й", "ц", "у", "к", "е", "н", "г", "ш", "щ", "з", "х", "ї", "ґ",
    "ф", "и", "в", "а", "п", "р", "о", "л", "д", "ж", "є",
    "", "я", "ч", "с", "м", "\u0456", "т", "ь", "б", "ю", ".",
};

constexpr KeyRows macShift = {
    "~", "!", "\"", "\u2116", "%", ":", ",", ".", ";", "(", ")", "_", "+",
    "", "", "", "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "", "?",
};
// clang-format on

KeyMapBase::Layouts makeLayouts() {
    KeyMapBase::Layouts layouts;
    layouts.push_back(std::make_unique<KeyboardLayoutData>("ЙЦУКЕН Mac", mac, macShift));
    layouts.push_back(std::make_unique<KeyboardLayoutData>("ЙЦУКЕН Win", win, winShift));
    return layouts;
}

}  // namespace

KeyMapUk::KeyMapUk() : KeyMapBase(Language::ua, makeLayouts()) {}

}  // namespace wv
