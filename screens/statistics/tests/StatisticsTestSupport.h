#pragma once

#include <QImage>
#include <QPainter>
#include <memory>
#include <string>
#include <vector>

#include "app/tests/AppTestSupport.h"
#include "engine/LessonInfo.h"
#include "screens/statistics/StatisticsScreen.h"

namespace wv::test {

// A record as the statistics store would hold it.
struct Record {
    int64_t id = 1;
    int speed = 100;
    int typos = 0;
    int difficulty = 0;
    bool capitals = false, numbers = false, punctuation = false;
    int accuracy = 100;
    std::string time = "2026-03-01 10:00:00";
};

inline LessonInfoPtr makeLesson(const Record& r) {
    auto lesson = std::make_shared<LessonInfo>();
    lesson->id = r.id;
    lesson->speedCPM = r.speed;
    lesson->mistypesCount = r.typos;
    lesson->difficulty = r.difficulty;
    lesson->isCapitalsOn = r.capitals;
    lesson->isNumbersOn = r.numbers;
    lesson->isPunctuationOn = r.punctuation;
    lesson->accuracy = r.accuracy;
    lesson->localTime = r.time;
    lesson->date = Date(std::chrono::seconds(r.id));
    return lesson;
}

// The application's pictures and the statistics screen's storyboard scenes.
inline void statisticsApplication() {
    application();
    static const bool registered = [] {
        screens::StatisticsScreen::registerAll();
        return true;
    }();
    (void)registered;
}

}  // namespace wv::test
