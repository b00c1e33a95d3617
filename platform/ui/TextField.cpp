#include "platform/ui/TextField.h"

#include <cstdlib>

#include "platform/ui/Graphics.h"

namespace wv {

namespace {
// Room the field's own edge leaves on either side of its text.
constexpr double kTextInset = 2.0;
}  // namespace

TextField::TextField(const Rect& frame, std::string text)
    : Control(frame), text_(std::move(text)) {}

std::string TextField::stringValue() const { return attributed_ ? attributed_->string() : text_; }

void TextField::setStringValue(std::string text) {
    // Indicators are set on every key press, mostly to the value they show.
    if (!attributed_ && text_ == text) return;
    text_ = std::move(text);
    attributed_.reset();
    setNeedsDisplay();
}

long long TextField::integerValue() const { return std::atoll(stringValue().c_str()); }

void TextField::setIntegerValue(long long value) { setStringValue(std::to_string(value)); }

TextAttributes TextField::fieldAttributes() const {
    TextAttributes a;
    a.font = font();
    a.foreground = textColor_;
    a.paragraph = ParagraphStyle{alignment(), 0};
    return a;
}

AttributedString TextField::attributedStringValue() const {
    if (!attributed_) return AttributedString(text_, fieldAttributes());
    AttributedString filled;
    for (const auto& run : attributed_->runs())
        filled.append(run.text, fieldAttributes().merged(run.attributes));
    return filled;
}

void TextField::setAttributedStringValue(AttributedString text) {
    attributed_ = std::move(text);
    setNeedsDisplay();
}

void TextField::setTextColor(const Color& color) {
    textColor_ = color;
    setNeedsDisplay();
}

void TextField::setBackgroundColor(std::optional<Color> color) {
    background_ = color;
    setNeedsDisplay();
}

void TextField::setWraps(bool wraps) {
    wraps_ = wraps;
    setNeedsDisplay();
}

void TextField::draw(QPainter& painter, const Rect&) {
    if (background_) Graphics::fill(painter, bounds(), *background_);
    const AttributedString text = attributedStringValue();
    Graphics::drawText(painter, text, bounds().insetBy(kTextInset, 0), wraps_);
}

}  // namespace wv
