#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/values/Color.h"
#include "platform/ui/values/Font.h"

namespace wv {

enum class TextAlignment { Natural, Left, Center, Right, Justified };

struct ParagraphStyle {
    TextAlignment alignment = TextAlignment::Natural;
    double lineSpacing = 0;  // extra points between lines
    friend bool operator==(const ParagraphStyle&, const ParagraphStyle&) = default;
};

// The attributes of one run of text; an attribute left empty takes the drawing default
// (the system font, black, nothing behind, natural alignment, no extra spacing).
struct TextAttributes {
    std::optional<Font> font = {};
    std::optional<Color> foreground = {};
    std::optional<Color> background = {};  // filled behind the run's characters
    std::optional<ParagraphStyle> paragraph = {};
    std::optional<double> kern = {};       // extra points after every character
    std::optional<double> expansion = {};  // log of the horizontal stretch; negative narrows

    // Every attribute set in `over` replaces this one's.
    TextAttributes merged(const TextAttributes& over) const;
    friend bool operator==(const TextAttributes&, const TextAttributes&) = default;
};

// Text (UTF-8) as runs that each carry their attributes. Built by appending; attributes can
// be laid over the whole string afterwards. Paragraph style is taken from the first run.
class AttributedString {
public:
    struct Run {
        std::string text;
        TextAttributes attributes;
        friend bool operator==(const Run&, const Run&) = default;
    };

    AttributedString() = default;
    explicit AttributedString(std::string text, TextAttributes attributes = {});

    AttributedString& append(std::string_view text, TextAttributes attributes = {});
    AttributedString& append(const AttributedString& other);
    // Lays `attributes` over every run (what is set there wins, the rest stays).
    AttributedString& addAttributes(const TextAttributes& attributes);

    std::string string() const;
    bool empty() const;
    const std::vector<Run>& runs() const { return runs_; }
    // The attributes at the start (what a whole-string query in the other direction returns).
    TextAttributes attributesAtStart() const;

    friend bool operator==(const AttributedString&, const AttributedString&) = default;

private:
    std::vector<Run> runs_;
};

}  // namespace wv
