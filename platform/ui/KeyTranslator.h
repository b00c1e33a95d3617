#pragma once

#include <Qt>
#include <optional>

#include "platform/keys/ModifierState.h"
#include "platform/ui/KeyEvent.h"

class QKeyEvent;

namespace wv {

// Turns Qt key events into KeyEvents by physical key: the native scan code gives the macOS key
// code (platform/keys), presses and releases of modifier keys become flags-changed events and
// keep the modifier flags with their device bits, and Caps Lock follows the desktop's lock
// state. Keys outside the table give nothing (they stay Qt's). Key codes are positional: a
// screen typing in a layout drawn on an ISO keyboard applies ScanCodeMap::forLayout itself.
class KeyTranslator {
public:
    std::optional<KeyEvent> translate(const QKeyEvent& event);
    std::uint64_t modifierFlags() const { return state_.flags(); }
    // Forgets held modifiers (the application lost the keyboard, so their releases are lost).
    void releaseAll() { state_.releaseAll(); }

private:
    void forgetReleasedModifiers(Qt::KeyboardModifiers held);

    ModifierState state_;
};

}  // namespace wv
