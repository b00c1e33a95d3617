#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "engine/LessonAverageInfo.h"
#include "engine/LessonInfo.h"

namespace wv {

// The records of one layout of one language, in filing order, with their running maxima.
struct LessonTreeLayoutLeaf {
    std::vector<LessonInfoPtr> lessons;
    int64_t typosMax = 0;
    int64_t speedMaxCPM = 0;  // typos or not
    std::map<int, int> speedMaxCPMbyDifficulty;

    void add(LessonInfoPtr lesson);
    // Ten entries, idx 0..9: the six letter groups, expert, then numbers, capitals and
    // punctuation. A record counts for its difficulty and for every option it had on.
    std::vector<LessonAverageInfo> lessonAverages(const LangData* langData) const;
};

}  // namespace wv
