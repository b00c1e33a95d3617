#pragma once

#include <string>
#include <vector>

#include "app/WVScreenControllers.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Image.h"

namespace wv {
class Button;
class Control;
class LangData;
class Menu;
class PopUpButton;
class ScrollView;
class TextField;
class View;
class WVClickListenerView;
class WVModeSwitcher;
class WVRadioButton;
class WVSwitchButton;
}  // namespace wv

namespace wv::screens {

// The settings sidebar: slides in over the right edge of the typing screen and writes every
// choice at once, the global ones to the settings record and the learning language's own to
// its language data; each store announces itself, which saves the settings. It then tells the
// typing screen through onSettingsChanged whether the exercise line must be made anew. It
// keeps no copy of a setting: everything is read afresh through the hub. Its view is built in
// code, 320 points wide: a band on top (a click closes the sidebar, a double click toggles full
// screen), then the four sections in a scroll view. Main thread only.
class WVSettingsSidebarController : public wv::WVSettingsSidebarController {
  public:
    static constexpr double kWidth = 320;
    static constexpr double kBandHeight = 40;
    static constexpr int autoMode = 0;
    static constexpr int manualMode = 1;

    WVSettingsSidebarController();
    ~WVSettingsSidebarController() override;

    // The parts of the view, owned by the view tree.
    View* gradientView = nullptr;
    WVClickListenerView* clickListenerView = nullptr;
    ScrollView* scrollView = nullptr;
    View* settingsContainerView = nullptr;
    TextField* currentLessonLabel = nullptr;
    TextField* currentCharactersLabel = nullptr;
    TextField* fromLabel = nullptr;
    TextField* modeSwitcherTitle = nullptr;
    TextField* lessonOptionsTitle = nullptr;
    TextField* addToLessonTitle = nullptr;
    TextField* lessonParamsTitle = nullptr;
    TextField* whileTypingTitle = nullptr;
    WVModeSwitcher* modeSwitcher = nullptr;
    View* lessonsContainerView = nullptr;
    View* switcherContainer = nullptr;
    View* manualLessonsContainer = nullptr;
    View* automaticLessonContainer = nullptr;
    View* lessonParametersContainer = nullptr;
    View* whileTypingContainer = nullptr;
    WVSwitchButton* capitalLettersButton = nullptr;
    WVSwitchButton* numbersButton = nullptr;
    WVSwitchButton* punctuationButton = nullptr;
    TextField* sidebarCapitals = nullptr;
    TextField* sidebarNumbers = nullptr;
    TextField* sidebarPunctuation = nullptr;
    WVRadioButton* btnLesson1 = nullptr;
    WVRadioButton* btnLesson2 = nullptr;
    WVRadioButton* btnLesson3 = nullptr;
    WVRadioButton* btnLesson4 = nullptr;
    WVRadioButton* btnLesson5 = nullptr;
    WVRadioButton* btnLesson6 = nullptr;
    WVRadioButton* btnLessonExpert = nullptr;
    PopUpButton* languagePopup = nullptr;
    PopUpButton* layoutPopup = nullptr;
    TextField* sidebarLanguage = nullptr;
    TextField* sidebarLayout = nullptr;
    TextField* sidebarSpeedIn = nullptr;
    WVSwitchButton* hintsButton = nullptr;
    WVSwitchButton* handsButton = nullptr;
    WVSwitchButton* btnSoundOn = nullptr;
    PopUpButton* popupSpeedType = nullptr;
    TextField* sidebarShowHands = nullptr;
    TextField* sidebarShowHints = nullptr;
    TextField* sidebarErrorSound = nullptr;

    // A lesson button's place here is its lesson: 0..5 the letter lessons, 6 the expert one.
    std::vector<WVRadioButton*> btnLessons;

    void viewDidLoad() override;
    void viewWillAppear() override;
    void viewWillDisappear() override;

    // Actions of the controls.
    void toggleShowHands(Button& sender);
    void toggleShowHints(Button& sender);
    void toggleErrorSound(Button& sender);
    void toggleSpeedType(PopUpButton& sender);
    void toggleCapitals(Button& sender);
    void toggleNumbers(Button& sender);
    void togglePunctuation(Button& sender);
    void toggleAutomaticManual();
    void chooseLesson(Control& sender);
    void keyboardLayoutChanged(PopUpButton& sender);
    void languageChanged(Control& sender);

    // Every control in line with the settings as they are now.
    void updateControls();
    void updateLessonButtons();
    void applySelectedLanguage();

    // Captions, the lesson panel and the stacking of the sections.
    void localizeCaptions() override;
    void updateLessonLabel();
    void adjustScrollView();
    double contentHeight();

    // The four choice controls, filled from the settings.
    void setupModeSwitcher();
    void setupLanguagePopup();
    void setupLayoutPopup();
    void setupSpeedTypePopup();
    // Gives each item of `menu` the image at the same place of `images` (at least as many).
    static void setMenuItemImages(Menu& menu, const std::vector<ImagePtr>& images);

  protected:
    void loadView() override;

  private:
    LangData& currentLanguage() const;
    void buildSwitcherSection();
    void buildLessonSections();
    void buildParametersSection();
    void buildWhileTypingSection();
    void setCurrentLessonText(const std::string& text);
    void setFromLabelText(const std::string& text);
    // Selects the item titled `title`, or the first item when none has it, so that the popup
    // always shows a choice.
    static void selectOrFirst(PopUpButton& popup, const std::string& title);

    NotificationCenter::ObserverToken clickObserver_ = 0;
    std::vector<NotificationCenter::ObserverToken> windowObservers_;
};

// Makes the sidebar the storyboard's "settingsController".
void registerSettingsSidebar();

}  // namespace wv::screens
