#pragma once

#include <optional>
#include <string>

#include "platform/ui/Control.h"
#include "platform/ui/values/AttributedString.h"
#include "platform/ui/values/Color.h"

namespace wv {

// A text label: a plain string in the field's font, colour and alignment, or an attributed
// string whose missing attributes take the field's. Drawn from the top, wrapping when asked.
class TextField : public Control {
public:
    explicit TextField(const Rect& frame = {}, std::string text = {});

    std::string stringValue() const;
    void setStringValue(std::string text);
    long long integerValue() const;
    void setIntegerValue(long long value);
    AttributedString attributedStringValue() const;  // with the field's attributes filled in
    void setAttributedStringValue(AttributedString text);

    Color textColor() const { return textColor_; }
    void setTextColor(const Color& color);
    std::optional<Color> backgroundColor() const { return background_; }
    void setBackgroundColor(std::optional<Color> color);
    bool wraps() const { return wraps_; }
    void setWraps(bool wraps);

protected:
    void draw(QPainter& painter, const Rect& dirtyRect) override;

private:
    TextAttributes fieldAttributes() const;

    std::string text_;
    std::optional<AttributedString> attributed_;
    Color textColor_ = Color::black();
    std::optional<Color> background_;
    bool wraps_ = false;
};

}  // namespace wv
