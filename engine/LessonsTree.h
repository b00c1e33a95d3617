#pragma once

#include <map>
#include <optional>
#include <vector>

#include "engine/LessonTreeLayoutLeaf.h"

namespace wv {

// One learning language's records, by layout index (-1: records that carry none).
struct LessonTreeLangLeaf {
    std::map<int, LessonTreeLayoutLeaf> layoutLeafs;
};

// The stored records by language and then layout, for the statistics screens. Leaves are made
// on first need and only grow; the records are the statistics store's own objects.
class LessonsTree {
  public:
    std::map<Language, LessonTreeLangLeaf> langLeafs;

    void addLessons(const std::vector<LessonInfoPtr>& lessons);
    void add(LessonInfoPtr lesson);

    // The languages with records (in raw-value order), then `current` when it has none.
    std::vector<Language> languages(std::optional<Language> current) const;
};

}  // namespace wv
