#pragma once

#include <cstdint>
#include <string>

namespace wv {

class Window;

// A key event in the terms the typing screens were written for: the macOS virtual key code of
// the physical key and the macOS modifier flags (with their device bits).
struct KeyEvent {
    enum class Type { KeyDown, KeyUp, FlagsChanged };
    Type type = Type::KeyDown;
    std::uint16_t keyCode = 0;
    std::uint64_t modifierFlags = 0;
    std::string characters;  // what the desktop's own layout made of the key (informative only)
    bool isARepeat = false;
    Window* window = nullptr;  // the window the key goes to
};

// Event masks for local monitors.
inline constexpr std::uint64_t kKeyDownMask = 0x400;
inline constexpr std::uint64_t kFlagsChangedMask = 0x1000;

}  // namespace wv
