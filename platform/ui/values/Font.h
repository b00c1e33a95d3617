#pragma once

#include <string>

namespace wv {

enum class FontWeight { UltraLight, Light, Regular, Medium, Semibold, Bold };

// A font description: family, traits and size in points. The family "" is the system font.
struct Font {
    std::string family;
    double pointSize = 13;
    FontWeight weight = FontWeight::Regular;
    bool italic = false;

    static constexpr double systemFontSize() { return 13.0; }
    static Font system(double size = systemFontSize(), FontWeight weight = FontWeight::Regular) {
        return Font{"", size, weight, false};
    }
    // The same family and traits at another size (a font "from the descriptor").
    Font withSize(double size) const {
        Font f = *this;
        f.pointSize = size;
        return f;
    }
    bool sameDescriptor(const Font& other) const {
        return family == other.family && weight == other.weight && italic == other.italic;
    }

    friend bool operator==(const Font&, const Font&) = default;
};

}  // namespace wv
