#pragma once

#include <string>
#include <vector>

#include "engine/LessonInfo.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/ViewController.h"
#include "storage/Localizable.h"

namespace wv::screens {

// The small panel beside the pointer with one lesson record's details: the lesson (and its
// options), a caption picture by difficulty, speed, typos and accuracy. Its view is built the
// way the interface file lays it out; the diagram moves it into the main window and feeds it
// records. Main thread only.
class WVLessonDetailsViewController : public ViewController, public Localizable {
  public:
    static constexpr double kPanelWidth = 176;

    double optionTextHeight = 17.0;
    double offset = 8.0;
    bool isOptionsOpened = true;

    TextField* difficultyLabel = nullptr;
    TextField* optionsLabel = nullptr;
    TextField* speedLabel = nullptr;
    TextField* typosLabel = nullptr;
    TextField* accuracyLabel = nullptr;
    ImageView* lessonColorImage = nullptr;
    ImageView* bgImage = nullptr;
    View* container = nullptr;
    ImageView* line = nullptr;
    TextField* statsTypos = nullptr;
    TextField* statsSpeed = nullptr;
    TextField* statsAccuracy = nullptr;
    std::vector<std::string> captions{"bgDetailCaption",  "bgDetailCaption1", "bgDetailCaption2",
                                      "bgDetailCaption3", "bgDetailCaption4", "bgDetailCaption5",
                                      "bgDetailCaption6"};

    const LessonInfoPtr& lesson() const { return lesson_; }
    // Refills the panel when the record differs from the one shown (by presence, id or date).
    void setLesson(LessonInfoPtr lesson);

    std::vector<std::string> optionTexts() const;
    void fillDetails();
    double popoverHeight() const;
    void updateLayout();

    void viewWillAppear() override;
    void localizeCaptions() override;

  protected:
    void loadView() override;

  private:
    LessonInfoPtr lesson_;
};

}  // namespace wv::screens
