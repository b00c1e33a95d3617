#pragma once

namespace wv {

// An RGBA colour with components from 0 to 1.
struct Color {
    double red = 0, green = 0, blue = 0, alpha = 1;

    static constexpr Color rgb(double r, double g, double b, double a = 1) { return {r, g, b, a}; }
    static constexpr Color rgb255(int r, int g, int b, double a = 1) {
        return {r / 255.0, g / 255.0, b / 255.0, a};
    }
    static constexpr Color white(double a = 1) { return {1, 1, 1, a}; }
    static constexpr Color black(double a = 1) { return {0, 0, 0, a}; }
    static constexpr Color clear() { return {0, 0, 0, 0}; }

    Color withAlpha(double a) const { return {red, green, blue, a}; }
    // The straight mix of this colour and another, t = 0 giving this one.
    Color mixed(const Color& other, double t) const {
        return {red + (other.red - red) * t, green + (other.green - green) * t,
                blue + (other.blue - blue) * t, alpha + (other.alpha - alpha) * t};
    }

    friend bool operator==(const Color&, const Color&) = default;
};

}  // namespace wv
