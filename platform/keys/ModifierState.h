#pragma once

#include <cstdint>

namespace wv {

// Modifier flags as the platform the screens were written for reports them: one bit per
// modifier, plus a device bit per physical key, so left and right keys can be told apart.
namespace modifiers {
inline constexpr uint64_t kCapsLock = 1u << 16;
inline constexpr uint64_t kShift = 1u << 17;
inline constexpr uint64_t kControl = 1u << 18;
inline constexpr uint64_t kOption = 1u << 19;
inline constexpr uint64_t kCommand = 1u << 20;

inline constexpr uint64_t kLeftControlDevice = 0x1;
inline constexpr uint64_t kLeftShiftDevice = 0x2;
inline constexpr uint64_t kRightShiftDevice = 0x4;
inline constexpr uint64_t kLeftCommandDevice = 0x8;
inline constexpr uint64_t kRightCommandDevice = 0x10;
inline constexpr uint64_t kLeftOptionDevice = 0x20;
inline constexpr uint64_t kRightOptionDevice = 0x40;
inline constexpr uint64_t kRightControlDevice = 0x2000;
}  // namespace modifiers

// The modifiers held down, tracked from the presses and releases of modifier keys (in virtual
// key codes, after `ScanCodeMap`, so a physical Ctrl counts as Command and Super as Control).
// A modifier bit is on while either of its keys is down. Caps Lock is a lock, not a held key:
// it comes from the system's lock state through `setCapsLock`.
class ModifierState {
  public:
    // Returns whether `macKeyCode` is a held modifier key (and so was tracked); Caps Lock is not.
    bool update(int macKeyCode, bool down);
    void setCapsLock(bool on) { capsLock_ = on; }
    // Forget every held key, for example when the window loses the keyboard.
    void releaseAll() { devices_ = 0; }

    uint64_t flags() const;
    bool shift() const { return flags() & modifiers::kShift; }
    bool control() const { return flags() & modifiers::kControl; }
    bool option() const { return flags() & modifiers::kOption; }
    bool command() const { return flags() & modifiers::kCommand; }
    bool capsLock() const { return capsLock_; }

  private:
    uint64_t devices_ = 0;
    bool capsLock_ = false;
};

}  // namespace wv
