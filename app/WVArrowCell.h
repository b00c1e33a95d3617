#pragma once

#include <array>
#include <optional>
#include <string>

#include "app/WVModifierButtonCell.h"

namespace wv {

enum class lineDirenction { left, right, up, down };

// "left", "right", "up", "down"; anything else is none.
std::optional<lineDirenction> lineDirenctionFromRawValue(const std::string& raw);

// An arrow key: a small white triangle in the middle of the key, pointing its way.
class WVArrowCell : public WVModifierButtonCell {
  public:
    std::optional<std::string> direction;

    void drawInteriorWithFrame(QPainter& painter, const Rect& frame, Button& button) override;
    // The triangle for a key of `keySize` at interface scale `s`, in the key's coordinates
    // (y downward); none for a direction that is not one of the four names, which draws no arrow.
    std::optional<std::array<Point, 3>> triangle(Size keySize, double s) const;
};

}  // namespace wv
