#pragma once

#include <memory>

#include "platform/ui/values/AttributedString.h"
#include "platform/ui/values/Geometry.h"

namespace wv {

// Measures laid-out text. Replaceable, so a test can give text any size it likes; the drawing
// of text uses the same layout as the default measurer, so what is measured is what is drawn.
class TextMeasurer {
public:
    virtual ~TextMeasurer() = default;
    // The size of the text on one line, without wrapping.
    virtual Size size(const AttributedString& text) const = 0;
    // The rectangle the text takes when laid out in a container of the given size (wrapping
    // at its width), measured from the container's top-left corner.
    virtual Rect usedRect(const AttributedString& text, Size container) const = 0;

    static const TextMeasurer& current();
    // Installs `measurer` (nullptr restores the default); returns the previous one.
    static std::shared_ptr<const TextMeasurer> setCurrent(std::shared_ptr<const TextMeasurer> measurer);
};

// The measurer over Qt's text layout.
class QtTextMeasurer final : public TextMeasurer {
public:
    Size size(const AttributedString& text) const override;
    Rect usedRect(const AttributedString& text, Size container) const override;
};

class ScopedTextMeasurer {
public:
    explicit ScopedTextMeasurer(std::shared_ptr<const TextMeasurer> m)
        : previous_(TextMeasurer::setCurrent(std::move(m))) {}
    ~ScopedTextMeasurer() { TextMeasurer::setCurrent(std::move(previous_)); }
    ScopedTextMeasurer(const ScopedTextMeasurer&) = delete;
    ScopedTextMeasurer& operator=(const ScopedTextMeasurer&) = delete;

private:
    std::shared_ptr<const TextMeasurer> previous_;
};

}  // namespace wv
