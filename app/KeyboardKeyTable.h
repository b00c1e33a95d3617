#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/ui/values/AttributedString.h"
#include "platform/ui/values/Geometry.h"

namespace wv {

class WVKeyboardView;

// The keys of the on-screen keyboard: a Mac-style ISO keyboard of five rows (digits, three
// letter rows, modifiers with space and the arrows), each key with its macOS virtual key code,
// its place and how it is drawn. Places are given on a 780 x 267 keyboard (y downward) and
// scaled to the keyboard's size.
struct KeyboardKey {
    enum class Style {
        Character,  // a key the layout captions
        HomeRow,    // a character key with the home-row mark (F, J)
        Tab,        // Tab, Delete: a character-key button with a small label
        Return,     // a character-key button with "return" and "enter"
        CapsLock,
        Modifier,  // Shift, Option, Command, Control, fn
        Arrow,
    };
    int keyCode;
    Rect frame;  // on the reference keyboard
    Style style;
    std::string title = {};  // the label of keys the layout does not caption
    TextAlignment alignment = TextAlignment::Left;
    std::string direction = {};  // arrows: "left", "right", "up", "down"
};

inline constexpr Size kReferenceKeyboardSize{780, 267};

const std::vector<KeyboardKey>& keyboardKeys();
const KeyboardKey* keyboardKey(int keyCode);
// The key's frame on a keyboard of `size`.
Rect keyFrame(const KeyboardKey& key, Size size);

// Adds a button for every key of the table to the keyboard, as its subviews (what the
// interface file holds), then registers them.
void addKeyboardKeys(WVKeyboardView& keyboard);

}  // namespace wv
