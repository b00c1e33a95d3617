#include "engine/LessonTreeLayoutLeaf.h"

#include <algorithm>

namespace wv {

namespace {

constexpr int kGroupCount = 10;

bool inGroup(const LessonInfo& lesson, int idx) {
    switch (idx) {
        case 7:
            return lesson.isNumbersOn;
        case 8:
            return lesson.isCapitalsOn;
        case 9:
            return lesson.isPunctuationOn;
        default:
            return lesson.difficulty == idx;
    }
}

}  // namespace

void LessonTreeLayoutLeaf::add(LessonInfoPtr lesson) {
    typosMax = std::max<int64_t>(typosMax, lesson->mistypesCount);
    speedMaxCPM = std::max<int64_t>(speedMaxCPM, lesson->speedCPM);
    lessons.push_back(std::move(lesson));
}

std::vector<LessonAverageInfo> LessonTreeLayoutLeaf::lessonAverages(
    const LangData* langData) const {
    std::vector<LessonAverageInfo> averages;
    averages.reserve(kGroupCount);
    for (int idx = 0; idx < kGroupCount; ++idx) {
        int best = 0;
        bool active = false;
        for (const auto& lesson : lessons) {
            if (!inGroup(*lesson, idx)) continue;
            active = true;
            if (lesson->mistypesCount == 0) best = std::max(best, lesson->speedCPM);
        }
        averages.push_back({idx, best, active, langData});
    }
    return averages;
}

}  // namespace wv
