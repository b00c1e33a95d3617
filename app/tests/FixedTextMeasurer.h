#pragma once

#include <optional>

#include "platform/ui/TextMeasurer.h"

namespace wv::test {

// Gives every text the same used rectangle, and remembers the last text it was asked about.
class FixedTextMeasurer : public TextMeasurer {
  public:
    explicit FixedTextMeasurer(Rect used) : used_(used) {}
    Size size(const AttributedString& text) const override {
        last = text;
        return used_.size;
    }
    Rect usedRect(const AttributedString& text, Size) const override {
        last = text;
        return used_;
    }
    mutable std::optional<AttributedString> last;

  private:
    Rect used_;
};

}  // namespace wv::test
