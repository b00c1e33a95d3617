#include "engine/LessonsTree.h"

#include <algorithm>

namespace wv {

void LessonsTree::addLessons(const std::vector<LessonInfoPtr>& lessons) {
    for (const auto& lesson : lessons) add(lesson);
}

void LessonsTree::add(LessonInfoPtr lesson) {
    auto& langLeaf = langLeafs[lesson->language];
    auto& layoutLeaf = langLeaf.layoutLeafs[lesson->layoutIdx.value_or(-1)];
    layoutLeaf.add(std::move(lesson));
}

std::vector<Language> LessonsTree::languages(std::optional<Language> current) const {
    std::vector<Language> list;
    for (const auto& [language, leaf] : langLeafs) list.push_back(language);
    if (current && std::find(list.begin(), list.end(), *current) == list.end()) {
        list.push_back(*current);
    }
    return list;
}

}  // namespace wv
