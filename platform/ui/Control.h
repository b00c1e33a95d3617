#pragma once

#include <functional>
#include <string>

#include "platform/ui/View.h"
#include "platform/ui/values/AttributedString.h"
#include "platform/ui/values/Font.h"

namespace wv {

// A view that reports what the user did through its action (target and action in one
// closure). Controls are flipped: y grows downward inside them. Their tag starts at 0.
class Control : public View {
public:
    explicit Control(const Rect& frame = {});

    bool isEnabled() const { return enabled_; }
    virtual void setEnabled(bool enabled);
    Font font() const { return font_; }
    void setFont(const Font& font);
    TextAlignment alignment() const { return alignment_; }
    void setAlignment(TextAlignment alignment);

    // Called with the control that acted.
    std::function<void(Control&)> action;
    void sendAction();

private:
    bool enabled_ = true;
    Font font_ = Font::system();
    TextAlignment alignment_ = TextAlignment::Natural;
};

}  // namespace wv
