#include "screens/statistics/StatisticsScreen.h"

#include "app/MainStoryboard.h"
#include "screens/statistics/Nib.h"
#include "screens/statistics/WVLessonAverageView.h"
#include "screens/statistics/WVLessonDetailsViewController.h"
#include "screens/statistics/WVStatisticsController.h"

namespace wv::screens {

void StatisticsScreen::registerAll() {
    MainStoryboard& storyboard = MainStoryboard::shared();
    storyboard.registerController("statisticsController",
                                  [] { return std::make_shared<WVStatisticsController>(); });
    storyboard.registerController("lessonDetailsController",
                                  [] { return std::make_shared<WVLessonDetailsViewController>(); });
    Nib::registerMaker("LessonsTray", [] {
        std::vector<std::unique_ptr<View>> objects;
        objects.push_back(WVLessonAverageView::makeFromNib());
        return objects;
    });
}

}  // namespace wv::screens
