#pragma once

namespace wv::keys {

// The virtual key codes the layouts are written in (the desktop platform they were made on).
// Character keys are numbered by position, not by legend: kA is the key right of Caps Lock.
inline constexpr int kA = 0;
inline constexpr int kIsoExtra = 10;  // ISO keyboards only: the key beside the left Shift
inline constexpr int kReturn = 36;
inline constexpr int kTab = 48;
inline constexpr int kSpace = 49;
inline constexpr int kLeftOfOne = 50;  // grave on a US keyboard
inline constexpr int kDelete = 51;     // backward delete (Backspace)
inline constexpr int kEscape = 53;
inline constexpr int kRightCommand = 54;
inline constexpr int kCommand = 55;
inline constexpr int kShift = 56;
inline constexpr int kCapsLock = 57;
inline constexpr int kOption = 58;
inline constexpr int kControl = 59;
inline constexpr int kRightShift = 60;
inline constexpr int kRightOption = 61;
inline constexpr int kRightControl = 62;
inline constexpr int kKeypadEnter = 76;
inline constexpr int kLeftArrow = 123;
inline constexpr int kRightArrow = 124;
inline constexpr int kDownArrow = 125;
inline constexpr int kUpArrow = 126;

}  // namespace wv::keys
