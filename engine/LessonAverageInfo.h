#pragma once

namespace wv {

class LangData;

// One bar of the lesson-average tray: a statistics lesson group of one language and layout.
struct LessonAverageInfo {
    int idx = 0;          // 0..5 letter groups, 6 expert, 7 numbers, 8 capitals, 9 punctuation
    int maxSpeedCPM = 0;  // best speed among the group's lessons without a typo
    bool wasActive = false;
    const LangData* langData = nullptr;  // the language root owns it for the whole process

    // Bar height: 100 CPM per unit, at most 3; a group practised without a clean lesson still
    // shows a stub of 0.5.
    float barValue() const;
};

}  // namespace wv
