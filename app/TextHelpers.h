#pragma once

#include <string>

#include "platform/ui/values/AttributedString.h"
#include "platform/ui/values/Color.h"
#include "platform/ui/values/Font.h"
#include "platform/ui/values/Geometry.h"

namespace wv {

// A font of `font`'s family and traits sized so that `text` fits the box with 5 points of
// margin on every side. Only the font's description counts, not its size.
Font fitFontToWidth(double width, double height, const std::string& text, const Font& font);

// Text in one font and colour with the given alignment.
AttributedString makeAttributedString(const std::string& text, TextAlignment alignment, const Font& font,
                                      const Color& color);

// A copy in white with 6 points between lines; the other attributes stay.
AttributedString whiteTextWithLineSpacing(const AttributedString& text);

// The rectangle the text takes when laid out in a container of the given size.
Rect usedTextRect(const AttributedString& text, double width, double height);

}  // namespace wv
