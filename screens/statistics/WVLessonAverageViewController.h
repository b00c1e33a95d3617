#pragma once

#include <optional>
#include <vector>

#include "engine/LessonAverageInfo.h"
#include "platform/ui/ViewController.h"

namespace wv::screens {

class WVLessonAverageView;

// The lesson-averages tray: one "LessonsTray" row per lesson group side by side, built on the
// first refresh with a list and afterwards rebound by position. Its view is handed over by the
// statistics screen.
class WVLessonAverageViewController : public ViewController {
  public:
    std::optional<std::vector<LessonAverageInfo>> lessonsAverage;

    void refreshRows();
    void buildRows();

    // The rows, in subview order.
    std::vector<WVLessonAverageView*> rows();
    // The width the rows of a full list take.
    static double trayWidth();
    // The gap after a row of group `idx`: the lesson rows overlap, the expert row stands apart.
    static double gapAfter(int idx);
};

}  // namespace wv::screens
