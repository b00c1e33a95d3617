#include "platform/ui/values/AttributedString.h"

namespace wv {

TextAttributes TextAttributes::merged(const TextAttributes& over) const {
    TextAttributes result = *this;
    if (over.font) result.font = over.font;
    if (over.foreground) result.foreground = over.foreground;
    if (over.background) result.background = over.background;
    if (over.paragraph) result.paragraph = over.paragraph;
    if (over.kern) result.kern = over.kern;
    if (over.expansion) result.expansion = over.expansion;
    return result;
}

AttributedString::AttributedString(std::string text, TextAttributes attributes) {
    if (!text.empty()) runs_.push_back({std::move(text), std::move(attributes)});
}

AttributedString& AttributedString::append(std::string_view text, TextAttributes attributes) {
    if (text.empty()) return *this;
    if (!runs_.empty() && runs_.back().attributes == attributes)
        runs_.back().text += text;
    else
        runs_.push_back({std::string(text), std::move(attributes)});
    return *this;
}

AttributedString& AttributedString::append(const AttributedString& other) {
    for (const auto& run : other.runs_) append(run.text, run.attributes);
    return *this;
}

AttributedString& AttributedString::addAttributes(const TextAttributes& attributes) {
    for (auto& run : runs_) run.attributes = run.attributes.merged(attributes);
    return *this;
}

std::string AttributedString::string() const {
    std::string text;
    for (const auto& run : runs_) text += run.text;
    return text;
}

bool AttributedString::empty() const { return runs_.empty(); }

TextAttributes AttributedString::attributesAtStart() const {
    return runs_.empty() ? TextAttributes{} : runs_.front().attributes;
}

}  // namespace wv
