#include "languages/layouts/KeyMapRu.h"

namespace wv {

namespace {

// Layers in printed order (kKeyRowsOrder): the key left of 1, digits, - =; q .. \; a .. ';
// the ISO extra key, z .. /. "" is a key without an entry.

// clang-format off
constexpr KeyRows mac = {
    "`", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "-", "=",
    "й", "ц", "у", "к", "е", "н", "г", "ш", "щ", "з", "х", "ъ", "",
    "ф", "ы", "в", "а", "п", "р", "о", "л", "д", "ж", "э",
    "", "я", "ч", "с", "м", "и", "т", "ь", "б", "ю", ".",
};

constexpr KeyRows macShift = {
    "~", "!", "\"", "\u2116", "%", ":", ",", ".", ";", "(", ")", "_", "+",
    "", "", "", "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "", "?",
};

constexpr KeyRows macMach = {
    "`", "!", "\"", "\u2116", "%", ":", ",", ".", ";", "(", ")", "-", "=",
    "й", "ц", "у", "к", "е", "н", "г", "ш", "щ", "з", "х", "ъ", "",
    "ф", "ы", "в", "а", "п", "р", "о", "л", "д", "ж", "э",
    "", "я", "ч", "с", "м", "и", "т", "ь", "б", "ю", "ё",
};

constexpr KeyRows macMachShift = {
    "~", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "_", "+",
    "", "", "", "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "", "?",
};

constexpr KeyRows win = {
    "`", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "-", "=",
    "й", "ц", "у", "к", "е", "н", "г", "ш", "щ", "з", "х", "ъ", "",
    "ф", "ы", "в", "а", "п", "р", "о", "л", "д", "ж", "э",
    "", "я", "ч", "с", "м", "и", "т", "ь", "б", "ю", ".",
};

constexpr KeyRows winShift = {
    "~", "!", "\"", "\u2116", ";", "%", ":", "?", "*", "(", ")", "_", "+",
    "", "", "", "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "", ",",
};
// clang-format on

KeyMapBase::Layouts makeLayouts() {
    KeyMapBase::Layouts layouts;
    layouts.push_back(std::make_unique<KeyboardLayoutData>("ЙЦУКЕН Mac", mac, macShift));
    layouts.push_back(std::make_unique<KeyboardLayoutData>("ЙЦУКЕН Win", win, winShift));
    layouts.push_back(std::make_unique<KeyboardLayoutData>("Машинопись", macMach, macMachShift));
    return layouts;
}

}  // namespace

KeyMapRu::KeyMapRu() : KeyMapBase(Language::ru, makeLayouts()) {}

}  // namespace wv
