#pragma once

#include <string_view>

namespace wv {

// A colour as plain components (0..1), free of any drawing library so that model code can
// name it; the screens turn it into their own colour type. `calibrated` marks components
// meant in the calibrated RGB space rather than the device's.
struct RGBColor {
    double red;
    double green;
    double blue;
    double alpha;
    bool calibrated;

    bool operator==(const RGBColor&) const = default;
};

// A calibrated colour with full alpha.
constexpr RGBColor calibratedColor(double red, double green, double blue) {
    return {red, green, blue, 1.0, true};
}

// Shown in place of a mistyped space (U+2219).
inline constexpr std::string_view visibleSpaceMark = "\u2219";

inline constexpr RGBColor colorWhite{1.0, 1.0, 1.0, 1.0, false};
inline constexpr RGBColor colorWhiteTranslucent{1.0, 1.0, 1.0, 0.3, false};
inline constexpr RGBColor colorError = calibratedColor(1.0, 45.0 / 255, 85.0 / 255);
inline constexpr RGBColor colorBlue{74.0 / 255, 144.0 / 255, 226.0 / 255, 1.0, true};
// The on-screen keys' blue: the same components as colorBlue, kept apart so either may change.
inline constexpr RGBColor colorBlueKey = calibratedColor(74.0 / 255, 144.0 / 255, 226.0 / 255);

// Where the statistics diagram puts a lesson's details, from the pointer: x minus `x`,
// y minus the view's height minus `y`.
struct ViewOffset {
    double x;
    double y;
};
inline constexpr ViewOffset detailsViewOffset{-5.0, 20.0};

}  // namespace wv
