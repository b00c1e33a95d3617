#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace wv {

// The ten fingers, left little finger to left thumb, then right little finger to right thumb.
// The raw value names the finger's pictures: raw value + "Active" / "Inactive".
enum class finger {
    leftFinger1,
    leftFinger2,
    leftFinger3,
    leftFinger4,
    leftFinger5,
    rightFinger1,
    rightFinger2,
    rightFinger3,
    rightFinger4,
    rightFinger5,
};

std::string_view rawValue(finger f);
// Exactly the ten raw values give a finger.
std::optional<finger> fingerFromRawValue(std::string_view raw);

}  // namespace wv
