#include "platform/ui/KeyTranslator.h"

#include <QKeyEvent>

#include "platform/keys/MacKeyCodes.h"
#include "platform/keys/ScanCodeMap.h"

namespace wv {

namespace {
// The lock modifier in the native state of a key event (X11's LockMask; the same bit of the
// XKB modifier mask on Wayland).
constexpr quint32 kNativeLock = 0x2;
}  // namespace

// The release of a modifier may have gone to another window or application; what Qt reports
// as held with the next key corrects that. AltGr is left alone: not every desktop reports it.
void KeyTranslator::forgetReleasedModifiers(Qt::KeyboardModifiers held) {
    if (!(held & Qt::ShiftModifier)) {
        state_.update(keys::kShift, false);
        state_.update(keys::kRightShift, false);
    }
    if (!(held & Qt::ControlModifier)) {  // Ctrl is Command
        state_.update(keys::kCommand, false);
        state_.update(keys::kRightCommand, false);
    }
    if (!(held & Qt::MetaModifier)) {  // Super is Control
        state_.update(keys::kControl, false);
        state_.update(keys::kRightControl, false);
    }
    if (!(held & Qt::AltModifier)) state_.update(keys::kOption, false);
}

std::optional<KeyEvent> KeyTranslator::translate(const QKeyEvent& event) {
    const bool press = event.type() == QEvent::KeyPress;
    const std::optional<int> code = ScanCodeMap::macKeyCode(int(event.nativeScanCode()));
    if (!code) return std::nullopt;
    const bool lockOn = event.nativeModifiers() & kNativeLock;

    KeyEvent key;
    key.keyCode = std::uint16_t(*code);
    key.characters = event.text().toStdString();
    key.isARepeat = event.isAutoRepeat();

    if (*code == keys::kCapsLock) {
        // The native state of the Caps Lock press is the state before it; its release shows
        // the lock still set while it is being switched off, so only the press counts.
        if (!press) return std::nullopt;
        state_.setCapsLock(!lockOn);
        key.type = KeyEvent::Type::FlagsChanged;
        key.modifierFlags = state_.flags();
        return key;
    }
    state_.setCapsLock(lockOn);
    if (state_.update(*code, press)) {
        key.type = KeyEvent::Type::FlagsChanged;
        key.modifierFlags = state_.flags();
        return key;
    }
    if (press) forgetReleasedModifiers(event.modifiers());
    key.type = press ? KeyEvent::Type::KeyDown : KeyEvent::Type::KeyUp;
    key.modifierFlags = state_.flags();
    return key;
}

}  // namespace wv
