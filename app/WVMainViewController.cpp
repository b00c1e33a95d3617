#include "app/WVMainViewController.h"

#include <QPointer>
#include <QRect>
#include <cmath>

#include "app/Analytics.h"
#include "app/MainStoryboard.h"
#include "app/SlidePresentationAnimator.h"
#include "app/SlideStatsPresentationAnimator.h"
#include "app/TextHelpers.h"
#include "app/UIScale.h"
#include "app/WVFingersView.h"
#include "app/WVHintView.h"
#include "app/WVKeyboardView.h"
#include "app/WVModifierButton.h"
#include "app/WVScreenControllers.h"
#include "app/WVTypeLineField.h"
#include "app/WVWindowController.h"
#include "engine/LineMeasures.h"
#include "engine/Model.h"
#include "languages/LangData.h"
#include "platform/foundation/Log.h"
#include "platform/rx/CombineLatest.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Graphics.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Layer.h"
#include "platform/ui/QtConvert.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Window.h"
#include "screens/controls/WVVisualEffectView.h"
#include "storage/Config.h"
#include "storage/Local.h"

namespace wv {

namespace {

constexpr Size kReference{1100, 620};

// The screen's root: lays its parts out again whenever its size changes.
class MainView final : public View {
  public:
    explicit MainView(const Rect& frame) : View(frame) {}
    std::function<void()> onLayout;

  protected:
    void frameSizeChanged(Size) override {
        if (onLayout) onLayout();
    }
};

TextField* makeLabel(View* parent, double size, FontWeight weight, const Color& color,
                     TextAlignment alignment) {
    auto* field = new TextField(Rect(0, 0, 10, 10));
    field->setFont(Font::system(size, weight));
    field->setTextColor(color);
    field->setAlignment(alignment);
    parent->addSubview(field);
    return field;
}

Button* makeIconButton(View* parent, const char* imageName, std::function<void()> action) {
    auto* button = new Button(Rect(0, 0, 28, 28));
    button->setImage(Image::named(imageName));
    button->setImageScaling(ImageScaling::ProportionallyUpOrDown);
    button->action = [action = std::move(action)](Control&) { action(); };
    parent->addSubview(button);
    return button;
}

}  // namespace

const Color& WVMainViewController::Colors::red() {
    static const Color color = Color::rgb255(255, 45, 98);
    return color;
}

const Color& WVMainViewController::Colors::green() {
    static const Color color = Color::rgb255(77, 179, 107);
    return color;
}

WVMainViewController::WVMainViewController() = default;

WVMainViewController::~WVMainViewController() {
    *alive_ = false;
    removeWindowObservers();
    if (timerUpdateSpeed) timerUpdateSpeed->invalidate();
}

LangData& WVMainViewController::currentLanguage() const {
    return model().langRoot().getLang(model().config().language());
}

WVStatisticsController& WVMainViewController::statisticsController() {
    if (!statisticsController_)
        statisticsController_ = std::static_pointer_cast<WVStatisticsController>(
            MainStoryboard::shared().instantiateController("statisticsController"));
    return *statisticsController_;
}

WVSettingsSidebarController& WVMainViewController::settingsController() {
    if (!settingsController_)
        settingsController_ = std::static_pointer_cast<WVSettingsSidebarController>(
            MainStoryboard::shared().instantiateController("settingsController"));
    return *settingsController_;
}

// ---- Views

void WVMainViewController::loadView() {
    auto* root = new MainView(Rect(0, 0, kReference.width, kReference.height));
    setView(root);

    // Opaque and drawn once per size: nothing under it is drawn again when something in front
    // changes, which would otherwise cost every key press a repaint of the whole screen.
    auto* backdrop = new WVVisualEffectView(root->bounds());
    backdrop->layer()->setBackgroundColor(WVWindowController::kBackgroundColor);
    effectview = backdrop;
    effectview->setAutoresizingMask(View::WidthSizable | View::HeightSizable);
    root->addSubview(effectview);

    indicatorsView = new View(Rect(0, 0, 660, indicatorsViewHeightConstraint));
    root->addSubview(indicatorsView);
    const Color title = Color::white(0.45), value = Color::white(0.92);
    indicatorTyposTitle =
        makeLabel(indicatorsView, 12, FontWeight::Medium, title, TextAlignment::Center);
    indicatorAccuracyTitle =
        makeLabel(indicatorsView, 12, FontWeight::Medium, title, TextAlignment::Center);
    indicatorSpeedType =
        makeLabel(indicatorsView, 12, FontWeight::Medium, title, TextAlignment::Center);
    indicatorTypos = makeLabel(indicatorsView, 30, FontWeight::Light, value, TextAlignment::Center);
    indicatorAccuracy =
        makeLabel(indicatorsView, 30, FontWeight::Light, value, TextAlignment::Center);
    indicatorSpeed = makeLabel(indicatorsView, 30, FontWeight::Light, value, TextAlignment::Center);
    indicatorTyposDelta =
        makeLabel(indicatorsView, 14, FontWeight::Medium, Colors::green(), TextAlignment::Left);
    indicatorAccuracyDelta =
        makeLabel(indicatorsView, 14, FontWeight::Medium, Colors::green(), TextAlignment::Left);
    indicatorSpeedDelta =
        makeLabel(indicatorsView, 14, FontWeight::Medium, Colors::green(), TextAlignment::Left);

    linesNotSavedLabel =
        makeLabel(root, 12, FontWeight::Medium, Colors::red(), TextAlignment::Center);
    linesNotSavedLabel->setWraps(true);
    linesNotSavedLabel->setHidden(true);

    typeStringLabel = new WVTypeLineField(Rect(50, 372, 1000, 70));
    typeStringLabel->setFont(Font::system(28));
    root->addSubview(typeStringLabel);

    keyboardSnapshot = new ImageView(keyboardFrame);
    keyboardSnapshot->setImageScaling(ImageScaling::AxesIndependently);
    keyboardSnapshot->setHidden(true);
    root->addSubview(keyboardSnapshot);
    makeKeyboardViews(root);

    statisticsButton = makeIconButton(root, "mainStatisticsIcon", [this] { showStatistics(); });
    settingsButton = makeIconButton(root, "mainSettingsIcon", [this] { showSettings(); });
    helpButton = makeIconButton(root, "mainHelpIcon", [this] { showHelpWindow(); });

    root->onLayout = [this] { layoutScreen(); };
    layoutScreen();
}

double WVMainViewController::screenScale() {
    const Size size = view()->frame().size;
    const double scale = std::min(size.width / kReference.width, size.height / kReference.height);
    return scale > 0 ? scale : 1.0;
}

Rect WVMainViewController::stageRect(const Rect& reference) {
    const double s = screenScale();
    const double left = (view()->frame().width() - kReference.width * s) / 2;
    return Rect(left + std::ceil(reference.x() * s), std::ceil(reference.y() * s),
                std::ceil(reference.width() * s), std::ceil(reference.height() * s));
}

// Places everything but the keyboard and the hands, which follow the window only once a live
// resize has ended (see resizeKeyboard).
void WVMainViewController::layoutScreen() {
    View* root = view();
    const double s = screenScale();
    const Rect bounds = root->bounds();

    const Rect lineFrame = stageRect(Rect(50, 372, 1000, 70));
    const bool lineResized = !(lineFrame == typeStringLabel->frame());
    typeStringLabel->setFrame(lineFrame);
    // The line's font was fitted to the old width: fit it again so it is never clipped.
    if (lineResized && !typeStringLabel->stringValue().empty()) refreshLine();
    keyboardSnapshot->setFrame(stageRect(keyboardFrame));
    // A window not yet on screen has no live resize whose end would place the keyboard: its
    // first size (the content under the menu bar) is laid out here, as any later one would be.
    if (Window* window = root->window(); !window || !window->isVisible()) placeKeyboard();

    const double column = 220 * s;
    indicatorsViewHeightConstraint = 70 * s;
    indicatorsView->setFrame(
        Rect((bounds.width() - 3 * column) / 2, 0, 3 * column, indicatorsViewHeightConstraint));
    TextField* titles[] = {indicatorTyposTitle, indicatorAccuracyTitle, indicatorSpeedType};
    TextField* values[] = {indicatorTypos, indicatorAccuracy, indicatorSpeed};
    TextField* deltas[] = {indicatorTyposDelta, indicatorAccuracyDelta, indicatorSpeedDelta};
    for (int i = 0; i < 3; ++i) {
        const double x = i * column;
        titles[i]->setFont(titles[i]->font().withSize(12 * s));
        titles[i]->setFrame(Rect(x, 50 * s, column, 18 * s));
        values[i]->setFont(values[i]->font().withSize(30 * s));
        values[i]->setFrame(Rect(x, 4 * s, column, 42 * s));
        deltas[i]->setFont(deltas[i]->font().withSize(14 * s));
        deltas[i]->setFrame(Rect(x + column * 0.5 + 38 * s, 20 * s, 60 * s, 20 * s));
    }
    layoutIndicators();

    const double button = 26 * s, margin = 18 * s;
    const double top = bounds.height() - margin - button;
    statisticsButton->setFrame(Rect(margin, top, button, button));
    helpButton->setFrame(Rect(bounds.width() - margin - button, top, button, button));
    settingsButton->setFrame(
        Rect(bounds.width() - 2 * (margin + button) + margin * 0.4, top, button, button));
    // Between the buttons, over the indicators.
    const double warningHeight = 32 * s, warningLeft = 2 * margin + button;
    linesNotSavedLabel->setFont(linesNotSavedLabel->font().withSize(12 * s));
    linesNotSavedLabel->setFrame(Rect(warningLeft, top + (button - warningHeight) / 2,
                                      settingsButton->frame().minX() - margin - warningLeft,
                                      warningHeight));
    layoutHintView();
}

void WVMainViewController::layoutIndicators() {
    const double free =
        view()->frame().height() - typeStringLabel->frame().y() - typeStringLabel->frame().height();
    indicatorsViewTopConstraint = free * 0.5 - indicatorsViewHeightConstraint * 0.5;
    Rect frame = indicatorsView->frame();
    frame.origin.y = view()->frame().height() - indicatorsViewTopConstraint - frame.height();
    indicatorsView->setFrame(frame);
}

// ---- Lifecycle

void WVMainViewController::viewDidLoad() {
    ViewController::viewDidLoad();
    setScaleReferenceWindow(view()->window());
    model().loadConfig();

    auto self = std::static_pointer_cast<WVMainViewController>(shared_from_this());
    model().textLine().callbackLineComplete = [self] { self->onLineComplete(); };

    std::weak_ptr<WVMainViewController> weak = self;
    auto& application = Application::shared();
    application.addLocalMonitor(kFlagsChangedMask,
                                [weak](const KeyEvent& event) -> std::optional<KeyEvent> {
                                    if (auto controller = weak.lock())
                                        return controller->handleFlagsChanged(event);
                                    return event;
                                });
    application.addLocalMonitor(
        kKeyDownMask, [self](const KeyEvent& event) { return self->handleKeyDownEvent(event); });

    keyboard->registerKeyButtons();
    newLine(NewLineReason::OnFreshStart);
}

void WVMainViewController::addWindowObservers() {
    if (!windowObservers_.empty()) return;
    auto& center = NotificationCenter::defaultCenter();
    auto alive = alive_;
    windowObservers_.push_back(
        center.addObserver(kWindowDidResizeNotification, nullptr, [this, alive](auto&) {
            if (*alive) resizeUI();
        }));
    for (const char* name :
         {kWindowWillStartLiveResizeNotification, kWindowDidEndLiveResizeNotification,
          kWindowWillEnterFullScreenNotification, kWindowWillExitFullScreenNotification}) {
        windowObservers_.push_back(
            center.addObserver(name, nullptr, [this, alive](const Notification& n) {
                if (*alive) resizeKeyboard(n.name);
            }));
    }
    windowObservers_.push_back(
        center.addObserver(kWVWindowControllerWindowDidResize, nullptr, [this, alive](auto&) {
            if (*alive) layoutIndicators();
        }));
}

void WVMainViewController::removeWindowObservers() {
    for (auto token : windowObservers_) NotificationCenter::defaultCenter().removeObserver(token);
    windowObservers_.clear();
}

void WVMainViewController::viewWillAppear() {
    ViewController::viewWillAppear();
    if (Window* window = view()->window()) setScaleReferenceWindow(window);
    // Each observer is registered once per appearance and removed when the screen goes away,
    // so a screen shown again reacts to each window change exactly once.
    addWindowObservers();
    appearanceBag_.dispose();
    layoutIndicators();
    localizeCaptions();
    updateModifierKeys();
    bindModel();

    auto& changes = model().cloudKeyValue().didChange;
    if (!changes.isDisposed()) {
        std::weak_ptr<WVMainViewController> weak =
            std::static_pointer_cast<WVMainViewController>(shared_from_this());
        changes
            .subscribe(
                [weak](const std::vector<std::string>& keys) {
                    if (auto controller = weak.lock()) controller->applyCloudConfig(keys);
                },
                [] { Log::print("WVCloudKeyValue: COMPLETED"); })
            .disposed(appearanceBag_);
    }
}

void WVMainViewController::viewDidDisappear() {
    ViewController::viewDidDisappear();
    removeWindowObservers();
    appearanceBag_.dispose();
}

void WVMainViewController::bindModel() {
    std::weak_ptr<WVMainViewController> weak =
        std::static_pointer_cast<WVMainViewController>(shared_from_this());
    Model& hub = model();

    viewModel.modifierFlagsChanged.asObservable()
        .filter([weak](const std::uint64_t&) {
            return weak.lock() && !model().textLine().isComplete();
        })
        .subscribe([weak](const std::uint64_t&) {
            if (auto controller = weak.lock()) controller->updateModifierKeys();
        })
        .disposed(appearanceBag_);

    auto nextCharacter = rx::combineLatest(
        [](const std::optional<std::string>& character, const ConfigUpdate&, const std::uint64_t&) {
            return character;
        },
        hub.textLine().nextCharacterBehavior.asObservable(), hub.config().didChange.asObservable(),
        viewModel.modifierFlagsChanged.asObservable());

    nextCharacter
        .map([weak](const std::optional<std::string>& c) {
            return weak.lock() && model().config().keyHintsOn() ? c : std::nullopt;
        })
        .subscribe([weak](const std::optional<std::string>& c) {
            if (auto controller = weak.lock()) controller->highlightNextKey(c);
        })
        .disposed(appearanceBag_);

    nextCharacter
        .map([weak](const std::optional<std::string>& c) {
            return weak.lock() && model().config().handsOn() ? c : std::nullopt;
        })
        .subscribe([weak](const std::optional<std::string>& c) {
            if (auto controller = weak.lock())
                controller->showNextFinger(controller->nextKeyTarget(c));
        })
        .disposed(appearanceBag_);

    hub.config()
        .didChange
        .subscribe([weak](const ConfigUpdate&) {
            if (auto controller = weak.lock()) controller->updateSpeedIndicator();
        })
        .disposed(appearanceBag_);
}

// ---- Lines and indicators

void WVMainViewController::newLine(NewLineReason reason) {
    Model& hub = model();
    if (reason == NewLineReason::OnLevelEnd)
        Analytics::logLessonEnd(currentLanguage(), hub.textLine().cursorPos(),
                                hub.textLine().mistypes().count());
    Analytics::logLessonStart(currentLanguage());
    hub.textLine().generateNewLine(currentLanguage(), hub.learningAssist().mistypesFull().get());
    refreshLine();
    hideHintView();

    indicatorTypos->setIntegerValue(0);
    indicatorTyposDelta->setAlphaValue(0);
    indicatorSpeed->setIntegerValue(0);
    indicatorSpeedDelta->setAlphaValue(0);
    indicatorAccuracy->setStringValue(std::to_string(
        accuracyPercent(hub.textLine().cursorPos(), hub.textLine().mistypes().count())));
    indicatorAccuracyDelta->setAlphaValue(0);

    if (timerUpdateSpeed) timerUpdateSpeed->invalidate();
    std::weak_ptr<WVMainViewController> weak =
        std::static_pointer_cast<WVMainViewController>(shared_from_this());
    timerUpdateSpeed = Timer::scheduled(0.5, true, [weak](Timer& timer) {
        auto controller = weak.lock();
        if (!controller) return;
        controller->updateSpeedIndicator();
        // After the last key the speed stands still: this beat showed its final value.
        if (!lineIsRunning()) timer.suspend();
    });
    // Until the first key the speed is 0 and nothing needs the timer (see
    // followLineWithSpeedTimer).
    timerUpdateSpeed->suspend();
    updateModifierKeys();
}

bool WVMainViewController::lineIsRunning() {
    const WVTextLine& line = model().textLine();
    return line.timeStart() && !line.isFinished();
}

void WVMainViewController::followLineWithSpeedTimer() {
    if (timerUpdateSpeed && lineIsRunning()) timerUpdateSpeed->resume();
}

void WVMainViewController::refreshLine() {
    const WVTextLine& line = model().textLine();
    typeStringLabel->setStyledText(line.attrText());
    const Rect frame = typeStringLabel->frame();
    typeStringLabel->setFont(typeStringLabel->fittingFont(fitFontToWidth(
        frame.width(), frame.height(), typeStringLabel->stringValue(), typeStringLabel->font())));
    typeStringLabel->refreshFont();
}

void WVMainViewController::refreshTypingIndicators() {
    const WVTextLine& line = model().textLine();
    const int typos = line.mistypes().count();
    indicatorTypos->setIntegerValue(typos);
    indicatorAccuracy->setStringValue(std::to_string(accuracyPercent(line.cursorPos(), typos)));
}

void WVMainViewController::updateSpeedIndicator() {
    indicatorSpeed->setIntegerValue(int32_t(displaySpeed(model().textLine().currentSpeed())));
}

void WVMainViewController::updateSpeedCaption() {
    indicatorSpeedType->setStringValue(Local::shared().localize(
        model().config().speedType() == SpeedType::WPM ? "mainSpeedWPM" : "mainSpeedCPM"));
}

void WVMainViewController::localizeCaptions() {
    indicatorTyposTitle->setStringValue(Local::shared().localize("mainTypos"));
    indicatorAccuracyTitle->setStringValue(Local::shared().localize("mainAccuracy"));
    updateSpeedCaption();
    updateLinesNotSavedLabel();
    if (settingsController().isViewLoaded()) settingsController().localizeCaptions();
    if (statisticsController().isViewLoaded()) statisticsController().localizeCaptions();
    hideHintView();
}

void WVMainViewController::updateLinesNotSavedLabel() {
    const LessonStats& stats = model().stats();
    linesNotSavedLabel->setHidden(stats.canStore());
    if (stats.canStore()) return;
    std::string text = Local::shared().localize("mainLinesNotSaved");
    if (const auto at = text.find('#'); at != std::string::npos)
        text.replace(at, 1, stats.url().string());
    linesNotSavedLabel->setStringValue(text);
}

void WVMainViewController::showIndicatorDelta(TextField& field, int delta, bool inverted) {
    if (delta == 0) return;
    if (delta < 0) {
        field.setIntegerValue(delta);
        field.setTextColor(inverted ? Colors::green() : Colors::red());
    } else {
        field.setStringValue("+" + std::to_string(delta));
        field.setTextColor(inverted ? Colors::red() : Colors::green());
    }
    field.animator().setAlphaValue(1.0);
}

void WVMainViewController::resizeUI() {
    refreshLine();
    refreshTypingIndicators();
}

// ---- Other screens

void WVMainViewController::presentOver(std::shared_ptr<ViewController> controller,
                                       bool statistics) {
    std::shared_ptr<SlidePresentationAnimator> animator;
    if (statistics)
        animator = std::make_shared<SlideStatsPresentationAnimator>();
    else
        animator = std::make_shared<SlidePresentationAnimator>();
    auto alive = alive_;
    animator->onOpenedChanged = [this, alive, statistics](bool opened) {
        if (!*alive) return;
        (statistics ? isStatsOpened : isSidebarOpened) = opened;
    };
    presentViewController(std::move(controller), animator);
}

void WVMainViewController::showStatistics() {
    if (!presentedViewControllers().empty()) return;
    statisticsController();
    presentOver(statisticsController_, true);
}

void WVMainViewController::showSettings() {
    if (!presentedViewControllers().empty()) return;
    settingsController();
    presentOver(settingsController_, false);
    auto self = std::static_pointer_cast<WVMainViewController>(shared_from_this());
    settingsController_->onSettingsChanged = [self](bool textChanged) {
        self->applySettingsChange(textChanged);
    };
}

void WVMainViewController::applySettingsChange(bool textChanged) {
    if (textChanged) newLine(NewLineReason::OnFreshStart);
    updateSpeedCaption();
    updateModifierKeys();
}

void WVMainViewController::showHelpWindow() {
    Window* main = Application::shared().mainWindow();
    if (!main || !windowController_) return;
    windowController_->showHelp();
}

void WVMainViewController::simulateFirstLaunch() { Config::resetToFirstLaunch(); }

// ---- Resizing

void WVMainViewController::resizeKeyboard(const std::string& name) {
    const bool entering = name == kWindowWillEnterFullScreenNotification;
    setScaleReferenceWindow(entering ? Application::shared().mainWindow() : view()->window());
    if (name == kWindowWillStartLiveResizeNotification || entering) {
        keyboardSnapshot->setImage(std::make_shared<Image>(snapshotKeyboard(), 2.0));
        keyboardSnapshot->setFrame(stageRect(keyboardFrame));
        keyboard->setAlphaValue(0);
        keyboardSnapshot->setHidden(false);
        if (model().config().handsOn()) fingersView->setHidden(true);
        return;
    }
    placeKeyboard();
    keyboard->setNeedsDisplay();
    keyboardSnapshot->setHidden(true);
    keyboard->setAlphaValue(1.0);
    if (model().config().handsOn()) {
        fingersView->setNeedsDisplay();
        fingersView->setHidden(false);
    }
}

void WVMainViewController::placeKeyboard() {
    const Rect frame = stageRect(keyboardFrame);
    keyboard->setFrame(frame);
    fingersView->setFrame(frame);
}

// The picture stands in for the keyboard over a backdrop that stretches with the window: it
// holds the keys alone, not the part of the backdrop they would draw.
QImage WVMainViewController::snapshotKeyboard() {
    WVKeyboardView::Backdrop backdrop = keyboard->backdrop();
    keyboard->setBackdrop(nullptr);
    QImage picture = keyboard->snapshot(2.0);
    keyboard->setBackdrop(std::move(backdrop));
    return picture;
}

}  // namespace wv

namespace wv {

// ---- Keyboard, hands and tips

void WVMainViewController::makeKeyboardViews(View* root) {
    const Rect frame = stageRect(keyboardFrame);
    keyboard = WVKeyboardView::makeStandard(frame);
    root->addSubview(keyboard);
    // Nothing but the backdrop lies under the keyboard: its keys draw their part of it
    // themselves, and a pulse frame or a lit key draws no more than the key.
    QPointer<WVVisualEffectView> under(static_cast<WVVisualEffectView*>(effectview));
    WVKeyboardView* keys = keyboard;
    keyboard->setBackdrop([under, keys](QPainter& painter, const QRect& area) {
        if (under) under->drawArea(painter, area, area.translated(keys->pos() - under->pos()));
    });
    fingersView = new WVFingersView(frame);
    root->addSubview(fingersView);
    hintView = new WVHintView(Rect(0, 0, 520, 64));
    hintView->setHidden(true);
    hintView->setAutoresizingMask(View::NotSizable);
    root->addSubview(hintView);
}

// The tip panel sits centred in the band under the keyboard; its height follows the tip.
void WVMainViewController::layoutHintView() {
    double height = 0;
    for (View* part :
         {static_cast<View*>(hintView->backgroundImage),
          static_cast<View*>(hintView->backgroundImageSmall),
          static_cast<View*>(hintView->leftButton), static_cast<View*>(hintView->rightButton)}) {
        if (part && !part->isHidden()) height = std::max(height, part->frame().maxY());
    }
    if (height <= 0) height = hintView->frame().height();
    // The tip lays out its text and keys at their own sizes; a wider panel would only add room.
    const double width = 520;
    const double band = stageRect(keyboardFrame).y();
    const double y = std::max(4.0, std::round((band - height) / 2));
    hintView->setFrame(Rect(std::round((view()->frame().width() - width) / 2), y, width, height));
}

void WVMainViewController::showNextFinger(std::optional<int> zone) {
    fingersView->showFingers(zone);
}

void WVMainViewController::updateModifierKeys() {
    if (model().config().keyHintsOn()) {
        const std::pair<WVModifierButton*, bool> keys[] = {
            {keyboard->capsLockKey(), viewModel.isCapsOn},
            {keyboard->leftShiftKey(), viewModel.isShiftL},
            {keyboard->rightShiftKey(), viewModel.isShiftR},
            {keyboard->rightCommandKey(), viewModel.isCmdL},
            {keyboard->leftCommandKey(), viewModel.isCmdR},
            {keyboard->leftOptionKey(), viewModel.isOptionL},
            {keyboard->rightOptionKey(), viewModel.isOptionR},
            {keyboard->controlKey(), viewModel.isControl},
        };
        for (const auto& [key, on] : keys)
            if (key) key->setImage(Image::named(on ? "keyCommandPressed" : "keyCommandDisabled"));
    }
    LangData& language = currentLanguage();
    keyboard->updateCaptions(language.learnedLetters(language.difficulty()), language.keys(),
                             viewModel);
    keyboard->setHidden(false);
}

}  // namespace wv
