#include "app/KeyboardKeyTable.h"

#include <algorithm>

#include "app/WVArrowCell.h"
#include "app/WVCapsButtonCell.h"
#include "app/WVEnterButtonCell.h"
#include "app/WVKeyboardButton.h"
#include "app/WVKeyboardCentralCell.h"
#include "app/WVKeyboardView.h"
#include "app/WVModifierButton.h"
#include "app/artwork/Artwork.h"

namespace wv {

namespace {
// One key unit across and one row down on the reference keyboard: fifteen units wide, five
// rows high. Keys keep a gap of kGap points between them.
constexpr double kUnit = 52.0;
constexpr double kRow = 267.0 / 5.0;
constexpr double kGap = 4.0;

using Style = KeyboardKey::Style;

// A key `units` wide starting `at` units from the left of `row`, `rows` rows high.
Rect place(double at, int row, double units = 1.0, double rows = 1.0) {
    return Rect(at * kUnit + kGap / 2, row * kRow + kGap / 2, units * kUnit - kGap,
                rows * kRow - kGap);
}

void addRow(std::vector<KeyboardKey>& keys, int row, double start,
            std::initializer_list<int> codes) {
    double at = start;
    for (int code : codes) {
        keys.push_back(
            {code, place(at, row), code == 3 || code == 38 ? Style::HomeRow : Style::Character});
        at += 1.0;
    }
}

std::vector<KeyboardKey> makeKeys() {
    std::vector<KeyboardKey> keys;
    const auto L = TextAlignment::Left, R = TextAlignment::Right;
    // Digits.
    addRow(keys, 0, 0, {50, 18, 19, 20, 21, 23, 22, 26, 28, 25, 29, 27, 24});
    keys.push_back({51, place(13, 0, 2), Style::Tab, "delete", R});
    // Top letters; the tall Return spans this row and the next, as on an ISO keyboard.
    keys.push_back({48, place(0, 1, 1.5), Style::Tab, "tab", L});
    addRow(keys, 1, 1.5, {12, 13, 14, 15, 17, 16, 32, 34, 31, 35, 33, 30});
    keys.push_back({36, place(13.75, 1, 1.25, 2), Style::Return, "return", R});
    // Home row.
    keys.push_back({57, place(0, 2, 1.75), Style::CapsLock, "caps lock", L});
    addRow(keys, 2, 1.75, {0, 1, 2, 3, 5, 4, 38, 40, 37, 41, 39, 42});
    // Bottom letters with the extra ISO key beside the short left Shift.
    keys.push_back({56, place(0, 3, 1.25), Style::Modifier, "shift", L});
    addRow(keys, 3, 1.25, {10, 6, 7, 8, 9, 11, 45, 46, 43, 47, 44});
    keys.push_back({60, place(12.25, 3, 2.75), Style::Modifier, "shift", R});
    // Modifiers, space and the arrows.
    keys.push_back({63, place(0, 4), Style::Modifier, "fn", L});
    keys.push_back({59, place(1, 4), Style::Modifier, "control", L});
    keys.push_back({58, place(2, 4), Style::Modifier, "option", L});
    keys.push_back({55, place(3, 4, 1.25), Style::Modifier, "command", L});
    keys.push_back({49, place(4.25, 4, 5.5), Style::Character});
    keys.push_back({54, place(9.75, 4, 1.25), Style::Modifier, "command", R});
    keys.push_back({61, place(11, 4), Style::Modifier, "option", R});
    keys.push_back({123, place(12, 4), Style::Arrow, "", L, "left"});
    Rect up = place(13, 4, 1, 0.5), down = up;
    up.size.height += kGap / 4;
    down.origin.y = 4 * kRow + kRow / 2 + kGap / 4;
    down.size.height = up.height();
    keys.push_back({126, up, Style::Arrow, "", L, "up"});
    keys.push_back({125, down, Style::Arrow, "", L, "down"});
    keys.push_back({124, place(14, 4), Style::Arrow, "", L, "right"});
    return keys;
}

std::unique_ptr<ButtonCell> cellFor(const KeyboardKey& key) {
    switch (key.style) {
        case Style::HomeRow:
            return std::make_unique<WVKeyboardCentralCell>();
        case Style::Tab:
        case Style::Modifier:
            return std::make_unique<WVModifierButtonCell>();
        case Style::Return:
            return std::make_unique<WVEnterButtonCell>();
        case Style::CapsLock:
            return std::make_unique<WVCapsButtonCell>();
        case Style::Arrow: {
            auto cell = std::make_unique<WVArrowCell>();
            cell->direction = key.direction;
            return cell;
        }
        case Style::Character:
            break;
    }
    return std::make_unique<WVKeyboardCell>();
}

Button* makeButton(const KeyboardKey& key, const Rect& frame) {
    const bool character = key.style == Style::Character || key.style == Style::HomeRow ||
                           key.style == Style::Tab || key.style == Style::Return;
    Button* button = nullptr;
    if (character) {
        auto* k = new WVKeyboardButton(frame, key.title, cellFor(key));
        k->setImage(Image::named("key"));
        k->setAlternateImage(Image::named("keyBorderCorrect"));
        button = k;
    } else {
        auto* m = new WVModifierButton(frame, cellFor(key));
        m->setTitle(key.title);
        m->setImage(Image::named("keyCommandDisabled"));
        button = m;
    }
    button->setAlignment(key.alignment);
    button->setTag(key.keyCode);
    return button;
}
}  // namespace

const std::vector<KeyboardKey>& keyboardKeys() {
    static const std::vector<KeyboardKey> keys = makeKeys();
    return keys;
}

const KeyboardKey* keyboardKey(int keyCode) {
    const auto& keys = keyboardKeys();
    auto it = std::find_if(keys.begin(), keys.end(),
                           [&](const KeyboardKey& k) { return k.keyCode == keyCode; });
    return it == keys.end() ? nullptr : &*it;
}

Rect keyFrame(const KeyboardKey& key, Size size) {
    const double sx = size.width / kReferenceKeyboardSize.width,
                 sy = size.height / kReferenceKeyboardSize.height;
    return Rect(key.frame.x() * sx, key.frame.y() * sy, key.frame.width() * sx,
                key.frame.height() * sy);
}

void addKeyboardKeys(WVKeyboardView& keyboard) {
    Artwork::registerAll();
    const Size size = keyboard.frame().size;
    for (const KeyboardKey& key : keyboardKeys())
        keyboard.addSubview(makeButton(key, keyFrame(key, size)));
    keyboard.registerKeyButtons();
}

}  // namespace wv
