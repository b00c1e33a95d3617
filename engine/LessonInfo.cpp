#include "engine/LessonInfo.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"

namespace wv {

std::pair<std::string, std::string> LessonInfo::splitMistypes() const {
    const auto characters = text::characters(mistypes);
    if (characters.size() % 2 != 0) {
        Log::print("ACHTUNG parsing mistypes " + mistypes);
        return {};
    }
    std::pair<std::string, std::string> split;
    for (size_t i = 0; i < characters.size(); i += 2) {
        split.first += characters[i];
        split.second += characters[i + 1];
    }
    return split;
}

}  // namespace wv
