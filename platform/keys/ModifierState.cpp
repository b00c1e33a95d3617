#include "platform/keys/ModifierState.h"

#include "platform/keys/MacKeyCodes.h"

namespace wv {

namespace {

uint64_t deviceBit(int macKeyCode) {
    switch (macKeyCode) {
        case keys::kShift:
            return modifiers::kLeftShiftDevice;
        case keys::kRightShift:
            return modifiers::kRightShiftDevice;
        case keys::kControl:
            return modifiers::kLeftControlDevice;
        case keys::kRightControl:
            return modifiers::kRightControlDevice;
        case keys::kOption:
            return modifiers::kLeftOptionDevice;
        case keys::kRightOption:
            return modifiers::kRightOptionDevice;
        case keys::kCommand:
            return modifiers::kLeftCommandDevice;
        case keys::kRightCommand:
            return modifiers::kRightCommandDevice;
        default:
            return 0;
    }
}

}  // namespace

bool ModifierState::update(int macKeyCode, bool down) {
    uint64_t bit = deviceBit(macKeyCode);
    if (bit == 0) return false;
    if (down) {
        devices_ |= bit;
    } else {
        devices_ &= ~bit;
    }
    return true;
}

uint64_t ModifierState::flags() const {
    using namespace modifiers;
    uint64_t flags = devices_;
    if (devices_ & (kLeftShiftDevice | kRightShiftDevice)) flags |= kShift;
    if (devices_ & (kLeftControlDevice | kRightControlDevice)) flags |= kControl;
    if (devices_ & (kLeftOptionDevice | kRightOptionDevice)) flags |= kOption;
    if (devices_ & (kLeftCommandDevice | kRightCommandDevice)) flags |= kCommand;
    if (capsLock_) flags |= kCapsLock;
    return flags;
}

}  // namespace wv
