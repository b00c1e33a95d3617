#include "app/Finger.h"

#include <array>

namespace wv {

namespace {
constexpr std::array<std::string_view, 10> kRawValues = {
    "leftFinger1",  "leftFinger2",  "leftFinger3",  "leftFinger4",  "leftFinger5",
    "rightFinger1", "rightFinger2", "rightFinger3", "rightFinger4", "rightFinger5",
};
}

std::string_view rawValue(finger f) { return kRawValues[size_t(f)]; }

std::optional<finger> fingerFromRawValue(std::string_view raw) {
    for (size_t i = 0; i < kRawValues.size(); ++i)
        if (kRawValues[i] == raw) return finger(i);
    return std::nullopt;
}

}  // namespace wv
