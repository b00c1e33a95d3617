#pragma once

#include <optional>

namespace wv {

// From a Linux key event's native scan code (the XKB keycode, evdev code + 8, the same on X11
// and Wayland) to the virtual key code the layouts are written in. The desktop's own keyboard
// layout plays no part: the tutor types by physical position.
//
// Covered: the 48 character keys, Return and keypad Enter, Tab, Space, Backspace (Delete, 51),
// Escape, the modifiers and the arrows. Ctrl maps to Command (so Ctrl+Q quits and menu
// shortcuts pass through), Super to Control, Alt and AltGr to Option.
//
// The key left of 1 maps to 50 and the ISO key beside the left Shift to 10. Layout tables that
// were drawn on an ISO keyboard number those two the other way round: they put "<" (the legend
// of the key beside the left Shift) on 50. The layout says which it is
// (`KeyboardLayoutData::isIsoTable`); for those, `forLayout` swaps 50 and 10, so the key that
// carries "<" types "<" and the key left of 1 types what key 10 types there (usually nothing).
class ScanCodeMap {
  public:
    // None for a scan code outside the table.
    static std::optional<int> macKeyCode(int nativeScanCode);
    static std::optional<int> macKeyCode(int nativeScanCode, bool isoTable) {
        auto code = macKeyCode(nativeScanCode);
        if (code) return forLayout(*code, isoTable);
        return code;
    }
    // Swaps keys 50 and 10 for an ISO-drawn table; every other code passes unchanged.
    static int forLayout(int macKeyCode, bool isoTable);
};

}  // namespace wv
