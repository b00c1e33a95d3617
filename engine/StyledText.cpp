#include "engine/StyledText.h"

namespace wv {

StyledText::StyledText(const std::vector<std::string>& characters, RGBColor foreground,
                       Alignment alignment)
    : alignment_(alignment) {
    characters_.reserve(characters.size());
    for (const auto& c : characters) characters_.push_back({c, foreground, std::nullopt});
}

std::string StyledText::string() const {
    std::string out;
    for (const auto& c : characters_) out += c.text;
    return out;
}

void StyledText::setForeground(size_t index, RGBColor color) {
    if (index < characters_.size()) characters_[index].foreground = color;
}

void StyledText::setBackground(size_t index, RGBColor color) {
    if (index < characters_.size()) characters_[index].background = color;
}

void StyledText::replaceCharacter(size_t index, std::string text) {
    if (index < characters_.size()) characters_[index].text = std::move(text);
}

}  // namespace wv
