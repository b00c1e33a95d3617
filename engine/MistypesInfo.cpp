#include "engine/MistypesInfo.h"

#include <algorithm>

#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"

namespace wv {

MistypesInfo::MistypesInfo(Language lang, std::string list) : lang_(lang), list_(std::move(list)) {
    for (const auto& c : text::characters(list_)) {
        auto it =
            std::find_if(dic_.begin(), dic_.end(), [&](const auto& e) { return e.first == c; });
        if (it == dic_.end()) {
            dic_.emplace_back(c, 1);
        } else {
            ++it->second;
        }
    }
    Log::print("mystypesInfo: " + description());
}

int64_t MistypesInfo::count(std::string_view character) const {
    for (const auto& [c, n] : dic_) {
        if (c == character) return n;
    }
    return 0;
}

std::optional<std::string> MistypesInfo::mostFrequentCharacter() const {
    std::optional<std::string> best;
    int64_t bestCount = 0;
    for (const auto& [c, n] : dic_) {
        if (n > bestCount) {
            best = c;
            bestCount = n;
        }
    }
    return best;
}

bool MistypesInfo::inject(std::string_view character) {
    auto it =
        std::find_if(dic_.begin(), dic_.end(), [&](const auto& e) { return e.first == character; });
    if (it == dic_.end()) return false;
    if (--it->second <= 0) dic_.erase(it);
    Log::print("injected " + std::string(character));
    return true;
}

int MistypesInfo::injectWord(std::string_view word) {
    int injected = 0;
    for (const auto& c : text::characters(word)) {
        if (inject(c)) ++injected;
    }
    return injected;
}

std::string MistypesInfo::description() const {
    if (dic_.empty()) return "[:]";
    std::string out = "[";
    for (size_t i = 0; i < dic_.size(); ++i) {
        if (i > 0) out += ", ";
        out += "\"" + dic_[i].first + "\": " + std::to_string(dic_[i].second);
    }
    return out + "]";
}

}  // namespace wv
