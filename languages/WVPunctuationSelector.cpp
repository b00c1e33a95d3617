#include "languages/WVPunctuationSelector.h"

#include "languages/Shuffle.h"

namespace wv {

std::string WVPunctuationSelector::symbols() const {
    std::string out;
    for (const auto& item : items_) out += item->value + item->inversion;
    return out;
}

std::shared_ptr<WVPunctuation> WVPunctuationSelector::nextRandom() {
    if (items_.empty()) return std::make_shared<WVPunctuation>();
    if (itemsRandomCache_.empty()) {
        itemsRandomCache_ = items_;
        shuffle(itemsRandomCache_);
    }
    std::shared_ptr<WVPunctuation> next = std::move(itemsRandomCache_.back());
    itemsRandomCache_.pop_back();
    return next;
}

std::shared_ptr<WVPunctuation> WVPunctuationSelector::itemForValue(std::string_view value) const {
    for (const auto& item : items_) {
        if (item->value == value) return item;
    }
    return nullptr;
}

std::shared_ptr<WVPunctuationSelector> makePunctuationSelector(PunctuationType type) {
    auto mark = [](const char* value, const char* spaceAfter) {
        return std::make_shared<WVPunctuation>("", value, "", spaceAfter);
    };
    if (type == PunctuationType::Ending) {
        return std::make_shared<WVPunctuationSelector>(
            std::vector{mark(".", " "), mark("?", " "), mark("!", " ")});
    }
    return std::make_shared<WVPunctuationSelector>(
        std::vector{mark(",", " "), mark(":", " "), mark(";", " "), mark("-", "")});
}

}  // namespace wv
