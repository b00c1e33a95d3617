#pragma once

#include <optional>
#include <string>
#include <vector>

#include "storage/VisualConstants.h"

namespace wv {

inline constexpr RGBColor colorClear{0.0, 0.0, 0.0, 0.0, false};

// A line of text with a colour per character, for a view to draw as it is. Indices count
// user-perceived characters. Plain data: no drawing library involved.
class StyledText {
  public:
    enum class Alignment { Natural, Center };

    struct Character {
        std::string text;
        RGBColor foreground;
        std::optional<RGBColor> background;  // none: nothing drawn behind it
        bool operator==(const Character&) const = default;
    };

    StyledText() = default;
    StyledText(const std::vector<std::string>& characters, RGBColor foreground,
               Alignment alignment);

    size_t size() const { return characters_.size(); }
    const Character& operator[](size_t index) const { return characters_[index]; }
    const std::vector<Character>& characters() const { return characters_; }
    Alignment alignment() const { return alignment_; }
    std::string string() const;

    // Indices outside the text change nothing.
    void setForeground(size_t index, RGBColor color);
    void setBackground(size_t index, RGBColor color);
    // Shows other text in place of a character, keeping its colours.
    void replaceCharacter(size_t index, std::string text);

  private:
    std::vector<Character> characters_;
    Alignment alignment_ = Alignment::Natural;
};

}  // namespace wv
