#pragma once

#include <QImage>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/WVMainViewModel.h"
#include "platform/dispatch/Timer.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/rx/DisposeBag.h"
#include "platform/ui/KeyEvent.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/values/Color.h"
#include "platform/ui/values/Geometry.h"
#include "storage/Localizable.h"

namespace wv {

class Button;
class ImageView;
class LangData;
class TextField;
class View;
class WVFingersView;
class WVHintView;
class WVKeyboardView;
class WVSettingsSidebarController;
class WVStatisticsController;
class WVTypeLineField;
class WVWindowController;
class Window;

// The one typing screen: the exercise line, the indicators with their changes against the
// previous line, the on-screen keyboard with the hands and the tips, and the buttons to the
// statistics, settings and help. It takes every key press of the main window (key handling),
// drives the lesson engine through the hub and shows what it answers. Main thread only; it
// lives as long as the process, since the key monitor holds it.
class WVMainViewController : public ViewController, public Localizable {
  public:
    enum class NewLineReason { OnFreshStart = 0, OnRestart = 1, OnLevelEnd = 2 };

    struct Colors {
        static const Color& red();
        static const Color& green();
    };

    WVMainViewController();
    ~WVMainViewController() override;

    // Parts of the screen, made by loadView and owned by the view tree.
    View* effectview = nullptr;
    View* indicatorsView = nullptr;
    WVTypeLineField* typeStringLabel = nullptr;
    Button* statisticsButton = nullptr;
    Button* settingsButton = nullptr;
    Button* helpButton = nullptr;
    WVHintView* hintView = nullptr;
    WVKeyboardView* keyboard = nullptr;
    ImageView* keyboardSnapshot = nullptr;
    WVFingersView* fingersView = nullptr;
    TextField* indicatorTypos = nullptr;
    TextField* indicatorTyposDelta = nullptr;
    TextField* indicatorAccuracy = nullptr;
    TextField* indicatorAccuracyDelta = nullptr;
    TextField* indicatorSpeed = nullptr;
    TextField* indicatorSpeedDelta = nullptr;
    TextField* indicatorSpeedType = nullptr;
    TextField* indicatorAccuracyTitle = nullptr;
    TextField* indicatorTyposTitle = nullptr;
    // Says that finished lines cannot be saved, and where the statistics file is; shown only
    // while that is so.
    TextField* linesNotSavedLabel = nullptr;
    // Distance of the indicators row from the top of the screen, and its height.
    double indicatorsViewTopConstraint = 60;
    double indicatorsViewHeightConstraint = 70;

    WVMainViewModel viewModel;
    std::shared_ptr<Timer> timerUpdateSpeed;
    // The keyboard's frame at scale 1.0.
    Rect keyboardFrame{164, 80, 780, 267};
    bool isSidebarOpened = false;
    bool isStatsOpened = false;
    rx::DisposeBag bag;

    WVStatisticsController& statisticsController();
    WVSettingsSidebarController& settingsController();

    void viewDidLoad() override;
    void viewWillAppear() override;
    void viewDidDisappear() override;
    void mouseDown(const MouseEvent& event) override;

    virtual void bindModel();
    virtual void layoutIndicators();
    virtual bool deleteLastCharacter();
    virtual void applySettingsChange(bool textChanged);
    virtual QImage snapshotKeyboard();
    virtual void resizeUI();
    virtual void updateSpeedCaption();
    virtual void newLine(NewLineReason reason);
    virtual void updateSpeedIndicator();
    virtual void onLineComplete();
    virtual void showTips();
    virtual void updateModifierKeys();
    void localizeCaptions() override;

    // Tips.
    virtual void showMailTip();
    virtual void likeTip();
    virtual void reviewTip();
    virtual void achivementTip();
    virtual void upLessonTip();
    virtual void downLessonTip();
    virtual void deleteTip();
    virtual void enterTip();
    virtual void infoTip();
    void showKeyTip(const std::string& keyName, const std::string& textKey);
    void hideHintView();

    void showIndicatorDelta(TextField& field, int delta, bool inverted);
    void showStatistics();
    void showSettings();
    void showHelpWindow();
    void simulateFirstLaunch();
    // The keyboard's part in a window notification (live resize and full screen).
    void resizeKeyboard(const std::string& notificationName);

    // Key handling.
    std::optional<KeyEvent> handleKeyDownEvent(const KeyEvent& event);
    std::optional<KeyEvent> handleFlagsChanged(const KeyEvent& event);
    void processKeyEvent(const KeyEvent& event);
    bool processTypedKey(std::uint16_t keyCode, bool shift, bool capsLock);
    std::optional<int> nextKeyTarget(const std::optional<std::string>& character);
    void highlightNextKey(const std::optional<std::string>& character);
    void applyCloudConfig(const std::vector<std::string>& changedKeys);

    // Set by whoever puts the screen into the main window: that window's controller, which
    // owns the help window.
    WVWindowController* windowController_ = nullptr;

    // The learning language, looked up afresh.
    LangData& currentLanguage() const;

  protected:
    void loadView() override;

  private:
    // Layout of the screen's parts for its size; the keyboard and hands are placed by
    // resizeKeyboard.
    void layoutScreen();
    // The keyboard and the hands at the frame the screen's size gives them.
    void placeKeyboard();
    double screenScale();
    // A rectangle of the 1100 x 620 design, scaled and centred in the screen.
    Rect stageRect(const Rect& reference);

    // Makes the keyboard, the hands and the tip panel.
    void makeKeyboardViews(View* root);
    void layoutHintView();
    void showNextFinger(std::optional<int> zone);
    // The tip panel is on screen and shows the Enter key cap.
    bool isEnterHintShowing() const;
    void showHintPanel();
    void showTypoHeatMap();

    void updateLinesNotSavedLabel();
    void refreshLine();
    void refreshTypingIndicators();
    // The speed changes only between a line's first and last key: the speed timer beats then
    // and is suspended otherwise, so an untouched screen does not wake up for it.
    static bool lineIsRunning();
    void followLineWithSpeedTimer();
    void startReturnPulse();
    void addWindowObservers();
    void removeWindowObservers();
    void presentOver(std::shared_ptr<ViewController> controller, bool statistics);

    std::shared_ptr<WVStatisticsController> statisticsController_;
    std::shared_ptr<WVSettingsSidebarController> settingsController_;
    std::vector<NotificationCenter::ObserverToken> windowObservers_;
    // What one appearance subscribes; replaced by the next appearance.
    rx::DisposeBag appearanceBag_;
    std::optional<int> shownFingerZone_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace wv
