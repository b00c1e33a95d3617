#include "app/TextHelpers.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/TextMeasurer.h"

namespace wv {

namespace {
constexpr double kReferenceSize = 12.0;
constexpr double kMargin = 10.0;  // 5 points on each side
}  // namespace

Font fitFontToWidth(double width, double height, const std::string& text, const Font& font) {
    const Font reference = font.withSize(kReferenceSize);
    TextAttributes attributes;
    attributes.font = reference;
    const Size measured = TextMeasurer::current().size(AttributedString(text, attributes));
    const float scale = float(std::min((height - kMargin) / measured.height, (width - kMargin) / measured.width));
    // An empty text or a box smaller than its margins has no sensible size; keep the reference.
    if (!std::isfinite(scale) || scale <= 0) return reference;
    return font.withSize(kReferenceSize * scale);
}

AttributedString makeAttributedString(const std::string& text, TextAlignment alignment, const Font& font,
                                      const Color& color) {
    TextAttributes attributes;
    attributes.foreground = color;
    attributes.paragraph = ParagraphStyle{alignment, 0};
    attributes.font = font;
    return AttributedString(text, attributes);
}

AttributedString whiteTextWithLineSpacing(const AttributedString& text) {
    AttributedString copy = text;
    TextAttributes over;
    over.foreground = Color::white();
    over.paragraph = ParagraphStyle{TextAlignment::Natural, 6.0};
    copy.addAttributes(over);
    return copy;
}

Rect usedTextRect(const AttributedString& text, double width, double height) {
    return TextMeasurer::current().usedRect(text, Size{width, height});
}

}  // namespace wv
