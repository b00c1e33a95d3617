#include "screens/statistics/WVLessonAverageViewController.h"

#include "screens/statistics/Nib.h"
#include "screens/statistics/WVLessonAverageView.h"

namespace wv::screens {

double WVLessonAverageViewController::gapAfter(int idx) {
    if (idx < 6) return -5.0;
    if (idx == 6) return 30.0;
    return 1.0;
}

double WVLessonAverageViewController::trayWidth() {
    double x = 0;
    for (int idx = 0; idx < 10; ++idx)
        x += WVLessonAverageView::kWidth + (idx < 9 ? gapAfter(idx) : 0);
    return x;
}

std::vector<WVLessonAverageView*> WVLessonAverageViewController::rows() {
    std::vector<WVLessonAverageView*> list;
    for (View* sub : view()->subviews())
        if (auto* row = dynamic_cast<WVLessonAverageView*>(sub)) list.push_back(row);
    return list;
}

void WVLessonAverageViewController::refreshRows() {
    if (!lessonsAverage) return;
    if (view()->subviews().empty()) {
        buildRows();
        return;
    }
    const std::vector<LessonAverageInfo>& list = *lessonsAverage;
    std::vector<WVLessonAverageView*> all = rows();
    for (size_t i = 0; i < all.size(); ++i) {
        WVLessonAverageView* row = all[i];
        if (i < list.size()) {
            row->lessonInfo = list[i];
        } else {
            // A list shorter than the tray leaves the rows past its end without records.
            LessonAverageInfo inactive;
            inactive.idx = row->lessonInfo ? row->lessonInfo->idx : int(i);
            row->lessonInfo = inactive;
        }
        row->showLessonInfo();
    }
    view()->setNeedsDisplayInRect(view()->bounds());
}

void WVLessonAverageViewController::buildRows() {
    if (!lessonsAverage) return;
    double x = 0;
    for (const LessonAverageInfo& entry : *lessonsAverage) {
        std::vector<std::unique_ptr<View>> objects = Nib::load("LessonsTray");
        WVLessonAverageView* row = nullptr;
        for (auto& object : objects) {
            if (auto* found = dynamic_cast<WVLessonAverageView*>(object.get())) {
                row = found;
                object.release();
                break;
            }
        }
        if (!row) continue;
        row->lessonInfo = entry;
        row->showLessonInfo();
        row->setFrameOrigin(Point{x, row->frame().y()});
        view()->addSubview(row);
        x += row->frame().width() + gapAfter(entry.idx);
    }
}

}  // namespace wv::screens
