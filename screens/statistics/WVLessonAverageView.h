#pragma once

#include <memory>
#include <optional>
#include <string>

#include "engine/LessonAverageInfo.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/View.h"

namespace wv::screens {

// One row of the lesson-averages tray: the group's line picture, its title, its best speed
// (or "learning now" for the lesson the learner is on), up to three stars and, for the
// option groups, a dot. Built as the "LessonsTray" interface file lays it out.
class WVLessonAverageView : public View {
  public:
    static constexpr double kWidth = 104;
    static constexpr double kHeight = 96;

    explicit WVLessonAverageView(const Rect& frame = {});

    ImageView* lineImage = nullptr;
    TextField* score = nullptr;
    TextField* title = nullptr;
    ImageView* star1 = nullptr;
    ImageView* star2 = nullptr;
    ImageView* star3 = nullptr;
    ImageView* lockImage = nullptr;
    ImageView* dotImage = nullptr;
    std::optional<LessonAverageInfo> lessonInfo;

    void showLessonInfo();
    void updateStars();

    // The row as the "LessonsTray" file holds it, outlets connected.
    static std::unique_ptr<WVLessonAverageView> makeFromNib();

    // The two texts of a group.
    static std::string rowTitle(const LessonAverageInfo& info);
    static std::string scoreText(const LessonAverageInfo& info);
    // The line picture of a group; empty for an index outside the ten groups.
    static std::string lineImageName(int idx);
    // The pictures of the three stars for a bar value.
    static std::string starImageName(int star, float barValue);
};

}  // namespace wv::screens
