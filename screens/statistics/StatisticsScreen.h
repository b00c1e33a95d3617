#pragma once

namespace wv::screens {

// Puts the statistics screen where the typing screen looks for it: the storyboard scenes
// "statisticsController" and "lessonDetailsController" and the tray row's file "LessonsTray".
// Call once at start-up, before the screen is first opened; calling again changes nothing.
class StatisticsScreen {
  public:
    static void registerAll();
};

}  // namespace wv::screens
