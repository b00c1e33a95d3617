#include "engine/AutoLearning.h"

#include <algorithm>
#include <string>
#include <vector>

#include "engine/LessonStats.h"
#include "languages/LangData.h"
#include "platform/foundation/Text.h"

namespace wv {

namespace {

constexpr int64_t kHighestRaisedLesson = 6;
constexpr int kLeastWarnedSpeed = 50;

}  // namespace

AutoLearning::AutoLearning(LessonStats& lessonStats)
    : lessonStats(lessonStats),
      mistypesFull_(std::make_shared<MistypesInfo>(Language::en, std::string())),
      mistypes_(std::make_shared<MistypesInfo>(Language::en, std::string())) {}

LessonInfoPtr AutoLearning::lastLesson() const {
    const auto& list = lessonStats.lessonsList();
    if (list.empty()) return nullptr;
    return list.back();
}

bool AutoLearning::shouldWarnManyTypos() const {
    auto last = lastLesson();
    if (!last || last->speedCPM < kLeastWarnedSpeed) return false;
    const bool counterDue = errorSessionCounter == 5 || errorSessionCounter % 10 == 0;
    return counterDue && last->mistypesCount > 0;
}

bool AutoLearning::isLevelRaised(const LangData& langData) const {
    auto last = lastLesson();
    return last && last->language == langData.type() && last->difficulty < langData.difficulty();
}

void AutoLearning::processLastLesson(LangData& langData) {
    if (lessonStats.sessionSkipped) return;
    auto last = lastLesson();
    if (!last) return;

    if (last->mistypesCount == 0) {
        errorSessionCounter = 0;
        if (langData.difficultyAuto() && langData.difficulty() < kHighestRaisedLesson) {
            // Announced as a text change, so the hub saves it and the next line is rebuilt.
            langData.setDifficulty(langData.difficulty() + 1);
        }
    } else {
        ++errorSessionCounter;
    }

    const std::vector<std::string> lessonLetters = langData.currentLevelLetterList();
    std::string practice;
    for (const std::string& c : text::characters(last->mistypes)) {
        const bool inLesson =
            std::find(lessonLetters.begin(), lessonLetters.end(), c) != lessonLetters.end();
        const int weight = inLesson ? 4 : 2;
        for (int i = 0; i < weight; ++i) practice += c;
    }
    mistypesFull_ = std::make_shared<MistypesInfo>(langData.type(), std::move(practice));
    mistypes_ = std::make_shared<MistypesInfo>(langData.type(), last->splitMistypes().first);
}

}  // namespace wv
