#include "screens/settings/WVSettingsSidebarController.h"

#include <algorithm>

#include "app/MainStoryboard.h"
#include "engine/Model.h"
#include "languages/LangData.h"
#include "platform/foundation/Text.h"
#include "platform/ui/AnimationContext.h"
#include "platform/ui/Layer.h"
#include "platform/ui/Menu.h"
#include "platform/ui/MenuItem.h"
#include "platform/ui/PopUpButton.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextMeasurer.h"
#include "platform/ui/Window.h"
#include "screens/controls/WVClickListenerView.h"
#include "screens/controls/WVFlippedView.h"
#include "screens/controls/WVModeSwitcher.h"
#include "screens/controls/WVPopupButtonCell.h"
#include "screens/controls/WVRadioButton.h"
#include "screens/controls/WVSwitchButton.h"
#include "storage/Config.h"
#include "storage/Local.h"
#include "storage/Utils.h"

namespace wv::screens {

namespace {

constexpr const char* kBullet = " \xE2\x80\xA2 ";  // space, U+2022, space
constexpr double kMargin = 20;
constexpr double kInner = WVSettingsSidebarController::kWidth - 2 * kMargin;
constexpr double kRowStep = 32;

const Color kBackground = Color::rgb(0.2109375, 0.20703125, 0.24609375);
const Color kTitleColour = Color::white(0.5);
const Color kCaptionColour = Color::white(0.88);

// Section heights, top to bottom; the stack places each below the one before.
constexpr double kSwitcherHeight = 78;
constexpr double kAutomaticHeight = 86;
constexpr double kManualHeight = 7 * 30 + 16;
constexpr double kParametersHeight = 276;
constexpr double kWhileTypingHeight = 142;

std::string replaceAll(std::string text, const std::string& placeholder, const std::string& with) {
    for (size_t at = text.find(placeholder); at != std::string::npos;
         at = text.find(placeholder, at + with.size()))
        text.replace(at, placeholder.size(), with);
    return text;
}

std::string localized(const char* key) { return Local::shared().localize(key); }

TextField* makeField(View* parent, const Rect& frame, double size, FontWeight weight,
                     const Color& colour) {
    auto* field = new TextField(frame);
    field->setFont(Font::system(size, weight));
    field->setTextColor(colour);
    parent->addSubview(field);
    return field;
}

TextField* makeTitle(View* parent, double y) {
    return makeField(parent, Rect(kMargin, y, kInner, 16), 11, FontWeight::Semibold, kTitleColour);
}

TextField* makeCaption(View* parent, const Rect& frame) {
    return makeField(parent, frame, 13, FontWeight::Regular, kCaptionColour);
}

WVSwitchButton* makeSwitch(View* parent, double y) {
    auto* button =
        new WVSwitchButton(Rect(WVSettingsSidebarController::kWidth - kMargin - 38, y, 38, 22));
    button->setButtonType(ButtonType::Switch);
    button->setImageScaling(ImageScaling::ProportionallyUpOrDown);
    button->setEnabled(true);
    parent->addSubview(button);
    return button;
}

// The three pop-ups share the dark look: white title, right-aligned, and a white arrow.
PopUpButton* makePopup(View* parent, double y) {
    auto* popup =
        new PopUpButton(Rect(150, y, WVSettingsSidebarController::kWidth - kMargin - 150, 24));
    popup->setFont(Font::system(13));
    popup->setCell(std::make_unique<WVPopupButtonCell>());
    parent->addSubview(popup);
    return popup;
}

// Sets the field's text with `kerning` points after every character.
void setKerning(TextField& field, const std::string& text, double kerning) {
    TextAttributes kern;
    kern.kern = kerning;
    field.setAttributedStringValue(AttributedString(text, kern));
}

}  // namespace

WVSettingsSidebarController::WVSettingsSidebarController() = default;

WVSettingsSidebarController::~WVSettingsSidebarController() {
    auto& center = NotificationCenter::defaultCenter();
    if (clickObserver_) center.removeObserver(clickObserver_);
    for (auto token : windowObservers_) center.removeObserver(token);
}

LangData& WVSettingsSidebarController::currentLanguage() const {
    return model().langRoot().getLang(model().config().language());
}

// ---- The view

void WVSettingsSidebarController::loadView() {
    const double height = 620;
    auto* root = new View(Rect(0, 0, kWidth, height));
    setView(root);

    gradientView = new View(root->bounds());
    gradientView->layer()->setBackgroundColor(kBackground);
    gradientView->setAutoresizingMask(View::WidthSizable | View::HeightSizable);
    root->addSubview(gradientView);

    clickListenerView = new WVClickListenerView(Rect(0, height - kBandHeight, kWidth, kBandHeight));
    clickListenerView->setAutoresizingMask(View::WidthSizable | View::MinYMargin);
    root->addSubview(clickListenerView);

    scrollView = new ScrollView(Rect(0, 0, kWidth, height - kBandHeight));
    scrollView->setAutoresizingMask(View::WidthSizable | View::HeightSizable);
    root->addSubview(scrollView);
    auto* document = new WVFlippedView(Rect(0, 0, kWidth, height - kBandHeight));
    scrollView->setDocumentView(document);

    const double all =
        kSwitcherHeight + kAutomaticHeight + kManualHeight + kParametersHeight + kWhileTypingHeight;
    settingsContainerView = new WVFlippedView(Rect(0, 0, kWidth, all));
    document->addSubview(settingsContainerView);
    lessonsContainerView = settingsContainerView;

    buildSwitcherSection();
    buildLessonSections();
    buildParametersSection();
    buildWhileTypingSection();
}

void WVSettingsSidebarController::buildSwitcherSection() {
    switcherContainer = new WVFlippedView(Rect(0, 0, kWidth, kSwitcherHeight));
    settingsContainerView->addSubview(switcherContainer);
    modeSwitcherTitle = makeTitle(switcherContainer, 18);
    modeSwitcher = new WVModeSwitcher(Rect(kMargin, 42, kInner, 26));
    switcherContainer->addSubview(modeSwitcher);
}

void WVSettingsSidebarController::buildLessonSections() {
    automaticLessonContainer =
        new WVFlippedView(Rect(0, kSwitcherHeight, kWidth, kAutomaticHeight));
    settingsContainerView->addSubview(automaticLessonContainer);
    lessonOptionsTitle = makeTitle(automaticLessonContainer, 12);
    currentLessonLabel = makeField(automaticLessonContainer, Rect(kMargin, 34, 150, 22), 16,
                                   FontWeight::Regular, Color::white());
    fromLabel = makeField(automaticLessonContainer, Rect(kMargin + 150, 34, 110, 22), 16,
                          FontWeight::Regular, kTitleColour);
    currentCharactersLabel = makeField(automaticLessonContainer, Rect(kMargin, 60, kInner, 20), 13,
                                       FontWeight::Regular, kCaptionColour);

    manualLessonsContainer = new WVFlippedView(Rect(0, kSwitcherHeight, kWidth, kManualHeight));
    settingsContainerView->addSubview(manualLessonsContainer);
    WVRadioButton** places[] = {&btnLesson1, &btnLesson2, &btnLesson3,     &btnLesson4,
                               &btnLesson5, &btnLesson6, &btnLessonExpert};
    for (int i = 0; i < 7; ++i) {
        auto* button = new WVRadioButton(Rect(kMargin, 8 + i * 30, kInner, 26));
        button->setFont(Font::system(13));
        button->action = [this](Control& sender) { chooseLesson(sender); };
        manualLessonsContainer->addSubview(button);
        *places[i] = button;
    }
}

void WVSettingsSidebarController::buildParametersSection() {
    lessonParametersContainer =
        new WVFlippedView(Rect(0, kSwitcherHeight + kAutomaticHeight, kWidth, kParametersHeight));
    settingsContainerView->addSubview(lessonParametersContainer);
    View* section = lessonParametersContainer;
    addToLessonTitle = makeTitle(section, 14);
    const double captionWidth = kWidth - 2 * kMargin - 38 - 8;
    TextField** captions[] = {&sidebarCapitals, &sidebarNumbers, &sidebarPunctuation};
    WVSwitchButton** switches[] = {&capitalLettersButton, &numbersButton, &punctuationButton};
    for (int i = 0; i < 3; ++i) {
        const double y = 38 + i * kRowStep;
        *captions[i] = makeCaption(section, Rect(kMargin, y + 2, captionWidth, 20));
        *switches[i] = makeSwitch(section, y);
    }
    capitalLettersButton->action = [this](Control& c) { toggleCapitals(static_cast<Button&>(c)); };
    numbersButton->action = [this](Control& c) { toggleNumbers(static_cast<Button&>(c)); };
    punctuationButton->action = [this](Control& c) { togglePunctuation(static_cast<Button&>(c)); };

    lessonParamsTitle = makeTitle(section, 148);
    TextField** popupCaptions[] = {&sidebarLanguage, &sidebarLayout, &sidebarSpeedIn};
    PopUpButton** popups[] = {&languagePopup, &layoutPopup, &popupSpeedType};
    for (int i = 0; i < 3; ++i) {
        const double y = 172 + i * 34;
        *popupCaptions[i] = makeCaption(section, Rect(kMargin, y + 2, 128, 20));
        *popups[i] = makePopup(section, y);
    }
    languagePopup->action = [this](Control& c) { languageChanged(c); };
    layoutPopup->action = [this](Control& c) {
        keyboardLayoutChanged(static_cast<PopUpButton&>(c));
    };
    popupSpeedType->action = [this](Control& c) { toggleSpeedType(static_cast<PopUpButton&>(c)); };
}

void WVSettingsSidebarController::buildWhileTypingSection() {
    whileTypingContainer = new WVFlippedView(Rect(
        0, kSwitcherHeight + kAutomaticHeight + kParametersHeight, kWidth, kWhileTypingHeight));
    settingsContainerView->addSubview(whileTypingContainer);
    whileTypingTitle = makeTitle(whileTypingContainer, 14);
    const double captionWidth = kWidth - 2 * kMargin - 38 - 8;
    TextField** captions[] = {&sidebarShowHands, &sidebarShowHints, &sidebarErrorSound};
    WVSwitchButton** switches[] = {&handsButton, &hintsButton, &btnSoundOn};
    for (int i = 0; i < 3; ++i) {
        const double y = 38 + i * kRowStep;
        *captions[i] = makeCaption(whileTypingContainer, Rect(kMargin, y + 2, captionWidth, 20));
        *switches[i] = makeSwitch(whileTypingContainer, y);
    }
    handsButton->action = [this](Control& c) { toggleShowHands(static_cast<Button&>(c)); };
    hintsButton->action = [this](Control& c) { toggleShowHints(static_cast<Button&>(c)); };
    btnSoundOn->action = [this](Control& c) { toggleErrorSound(static_cast<Button&>(c)); };
}

// ---- Life cycle

void WVSettingsSidebarController::viewDidLoad() {
    wv::WVSettingsSidebarController::viewDidLoad();
    // Held weakly, and removed with the controller: a click after it is gone reaches nothing.
    std::weak_ptr<ViewController> weak = shared_from_this();
    clickObserver_ = NotificationCenter::defaultCenter().addObserver(
        WVClickListenerViewEventRecieved(), nullptr, [weak](const Notification&) {
            if (auto controller = weak.lock()) controller->dismissController();
        });
    btnLessons = {btnLesson1, btnLesson2, btnLesson3,     btnLesson4,
                  btnLesson5, btnLesson6, btnLessonExpert};
}

void WVSettingsSidebarController::viewWillAppear() {
    wv::WVSettingsSidebarController::viewWillAppear();
    // Observed for each presentation and dropped at each dismissal, so every presentation
    // follows resizes and full-screen changes, not only the first.
    if (windowObservers_.empty()) {
        std::weak_ptr<ViewController> weak = shared_from_this();
        for (const char* name :
             {kWindowWillEnterFullScreenNotification, kWindowWillExitFullScreenNotification,
              kWindowDidResizeNotification}) {
            windowObservers_.push_back(NotificationCenter::defaultCenter().addObserver(
                name, nullptr, [weak](const Notification&) {
                    if (auto controller = weak.lock())
                        static_cast<WVSettingsSidebarController&>(*controller).adjustScrollView();
                }));
        }
    }
    localizeCaptions();
    updateControls();
    updateLessonLabel();
}

void WVSettingsSidebarController::viewWillDisappear() {
    wv::WVSettingsSidebarController::viewWillDisappear();
    for (auto token : windowObservers_) NotificationCenter::defaultCenter().removeObserver(token);
    windowObservers_.clear();
}

// ---- Actions

void WVSettingsSidebarController::toggleShowHands(Button& sender) {
    model().config().setHandsOn(sender.state() == 1);
    if (onSettingsChanged) onSettingsChanged(false);
}

void WVSettingsSidebarController::toggleShowHints(Button& sender) {
    model().config().setKeyHintsOn(sender.state() == 1);
    if (onSettingsChanged) onSettingsChanged(false);
}

void WVSettingsSidebarController::toggleErrorSound(Button& sender) {
    model().config().setSoundOn(sender.state() == 1);
}

void WVSettingsSidebarController::toggleSpeedType(PopUpButton& sender) {
    model().config().setSpeedType(sender.indexOfSelectedItem() != 0 ? SpeedType::WPM
                                                                    : SpeedType::CPM);
    if (onSettingsChanged) onSettingsChanged(false);
}

// The extras store what the switch shows: inverting the stored flag instead would turn the
// switch and the setting against each other once settings from elsewhere arrived while the
// sidebar was open.
void WVSettingsSidebarController::toggleCapitals(Button& sender) {
    currentLanguage().setCapitalsOn(sender.state() == 1);
    if (onSettingsChanged) onSettingsChanged(true);
}

void WVSettingsSidebarController::toggleNumbers(Button& sender) {
    currentLanguage().setNumbersOn(sender.state() == 1);
    if (onSettingsChanged) onSettingsChanged(true);
}

void WVSettingsSidebarController::togglePunctuation(Button& sender) {
    currentLanguage().setPunctuationOn(sender.state() == 1);
    if (onSettingsChanged) onSettingsChanged(true);
}

void WVSettingsSidebarController::toggleAutomaticManual() {
    currentLanguage().setDifficultyAuto(modeSwitcher->selectedSegment == autoMode);
    updateLessonLabel();
}

void WVSettingsSidebarController::chooseLesson(Control& sender) {
    auto* radio = dynamic_cast<WVRadioButton*>(&sender);
    if (!radio) return;
    const auto found = std::find(btnLessons.begin(), btnLessons.end(), radio);
    if (found == btnLessons.end()) return;
    currentLanguage().setDifficulty(int64_t(found - btnLessons.begin()));
    if (onSettingsChanged) onSettingsChanged(true);
    updateLessonButtons();
}

void WVSettingsSidebarController::keyboardLayoutChanged(PopUpButton& sender) {
    currentLanguage().selectLayoutByName(sender.titleOfSelectedItem());
    if (onSettingsChanged) onSettingsChanged(false);
}

void WVSettingsSidebarController::languageChanged(Control& sender) {
    if (&sender != languagePopup) return;
    applySelectedLanguage();
    NotificationCenter::defaultCenter().post(std::string(kCurrentLocaleDidChangeNotification));
}

void WVSettingsSidebarController::applySelectedLanguage() {
    LangRoot& root = model().langRoot();
    const LangData& language =
        root.getLang(root.languageForCode(languagePopup->titleOfSelectedItem()));
    model().setLanguage(language);
    updateControls();
    if (onSettingsChanged) onSettingsChanged(true);
}

// ---- Controls

void WVSettingsSidebarController::updateControls() {
    const LangData& language = currentLanguage();
    capitalLettersButton->setState(language.capitalsOn() ? 1 : 0);
    numbersButton->setState(language.numbersOn() ? 1 : 0);
    punctuationButton->setState(language.punctuationOn() ? 1 : 0);
    const Config& config = model().config();
    handsButton->setState(config.handsOn() ? 1 : 0);
    hintsButton->setState(config.keyHintsOn() ? 1 : 0);
    btnSoundOn->setState(config.soundOn() ? 1 : 0);
    setupLayoutPopup();
    setupModeSwitcher();
    setupLanguagePopup();
    setupSpeedTypePopup();
    updateLessonButtons();
}

void WVSettingsSidebarController::updateLessonButtons() {
    const int64_t difficulty = currentLanguage().difficulty();
    for (size_t i = 0; i < btnLessons.size(); ++i) {
        WVRadioButton* button = btnLessons[i];
        const bool selected = int64_t(i) == difficulty;
        button->selected = selected;
        button->setState(selected ? 1 : 0);
        button->setImage(selected ? Image::named("checkMark") : nullptr);
    }
}

void WVSettingsSidebarController::selectOrFirst(PopUpButton& popup, const std::string& title) {
    popup.selectItemWithTitle(title);
    if (popup.indexOfSelectedItem() < 0 && popup.numberOfItems() > 0) popup.selectItemAtIndex(0);
}

void WVSettingsSidebarController::setupModeSwitcher() {
    Rect frame = switcherContainer->frame();
    frame.origin.y = 0;
    switcherContainer->setFrame(frame);
    TextAttributes selected, deselected;
    selected.foreground = Color::black();
    deselected.foreground = Color::white();
    modeSwitcher->selectedTextAttr = selected;
    modeSwitcher->deselectedTextAttr = deselected;
    modeSwitcher->setTitles({localized("sidebarAutomatic"), localized("sidebarManual")});
    modeSwitcher->selectedImages =
        std::vector<ImagePtr>{Image::named("activeGreen"), Image::named("activeOrange")};
    modeSwitcher->deselectedImage = Image::named("switcherBody");
    modeSwitcher->action = [this](Control&) { toggleAutomaticManual(); };
    modeSwitcher->selectSegmentWithTitle(
        localized(currentLanguage().difficultyAuto() ? "sidebarAutomatic" : "sidebarManual"));
}

void WVSettingsSidebarController::setMenuItemImages(Menu& menu,
                                                    const std::vector<ImagePtr>& images) {
    const auto& items = menu.items();
    for (size_t i = 0; i < items.size() && i < images.size(); ++i) items[i]->setImage(images[i]);
}

void WVSettingsSidebarController::setupLanguagePopup() {
    auto menu = std::make_shared<Menu>();
    std::vector<ImagePtr> flags;
    for (const auto& language : model().langRoot().languages()) {
        menu->addItem(std::make_shared<MenuItem>(language->code()));
        flags.push_back(Image::named(language->flag()));
    }
    languagePopup->setMenu(menu);
    setMenuItemImages(*menu, flags);
    selectOrFirst(*languagePopup, currentLanguage().code());
    MenuItem* item = languagePopup->selectedItem();
    static_cast<WVPopupButtonCell&>(languagePopup->cell()).customImage =
        item ? item->image() : nullptr;
    languagePopup->setNeedsDisplay();
}

void WVSettingsSidebarController::setupLayoutPopup() {
    const KeyMapBase& keys = currentLanguage().keys();
    auto menu = std::make_shared<Menu>();
    for (const std::string& name : keys.layoutNames())
        menu->addItem(std::make_shared<MenuItem>(name));
    layoutPopup->setMenu(menu);
    selectOrFirst(*layoutPopup, keys.layoutData().name());
}

void WVSettingsSidebarController::setupSpeedTypePopup() {
    const std::vector<std::string> titles = {localized("sidebarCPM"), localized("sidebarWPM")};
    auto menu = std::make_shared<Menu>();
    for (const std::string& title : titles) menu->addItem(std::make_shared<MenuItem>(title));
    popupSpeedType->setMenu(menu);
    selectOrFirst(*popupSpeedType, titles[model().config().speedType() == SpeedType::CPM ? 0 : 1]);
}

// ---- Captions, lesson panel and sections

void WVSettingsSidebarController::localizeCaptions() {
    if (!isViewLoaded()) return;
    const std::pair<TextField*, const char*> plain[] = {
        {sidebarCapitals, "sidebarCapitals"},       {sidebarNumbers, "sidebarNumbers"},
        {sidebarPunctuation, "sidebarPunctuation"}, {sidebarLanguage, "sidebarLanguage"},
        {sidebarLayout, "sidebarLayout"},           {sidebarSpeedIn, "sidebarSpeedIn"},
        {sidebarShowHands, "sidebarShowHands"},     {sidebarShowHints, "sidebarShowHints"},
        {sidebarErrorSound, "sidebarErrorSound"}};
    for (const auto& [field, key] : plain) field->setStringValue(localized(key));
    const std::pair<TextField*, const char*> titles[] = {
        {modeSwitcherTitle, "sidebarLessonsSelection"},
        {lessonOptionsTitle, "sidebarLessonsSymbols"},
        {addToLessonTitle, "sidebarAddToLesson"},
        {lessonParamsTitle, "sidebarSettings"},
        {whileTypingTitle, "sidebarTyping"}};
    for (const auto& [field, key] : titles) setKerning(*field, text::upper(localized(key)), 0.5);

    const std::string lesson = localized("sidebarLesson");
    const Language type = currentLanguage().type();
    for (size_t i = 0; i < btnLessons.size(); ++i) {
        if (i == 6) {
            btnLessons[i]->setTitle(localized("sidebarLessonExpert") + kBullet +
                                    localized("sidebarLessonAllLetters"));
            continue;
        }
        const std::string letters =
            joinedCharacters(model().langRoot().lessonLetters(int(i), type), " ");
        btnLessons[i]->setTitle(replaceAll(lesson, "#", std::to_string(i + 1) + kBullet + letters));
    }
    updateLessonLabel();
}

void WVSettingsSidebarController::setCurrentLessonText(const std::string& text) {
    currentLessonLabel->setStringValue(text);
    Rect frame = currentLessonLabel->frame();
    frame.size.width =
        TextMeasurer::current().size(currentLessonLabel->attributedStringValue()).width;
    currentLessonLabel->setFrame(frame);
}

void WVSettingsSidebarController::setFromLabelText(const std::string& text) {
    fromLabel->setStringValue(text);
    Rect frame = fromLabel->frame();
    frame.origin.x =
        currentLessonLabel->frame().x() +
        TextMeasurer::current().size(currentLessonLabel->attributedStringValue()).width;
    fromLabel->setFrame(frame);
}

void WVSettingsSidebarController::updateLessonLabel() {
    adjustScrollView();
    const LangData& language = currentLanguage();
    const bool automatic = language.difficultyAuto();
    View* shown = automatic ? automaticLessonContainer : manualLessonsContainer;
    View* hidden = automatic ? manualLessonsContainer : automaticLessonContainer;

    if (automatic) {
        const int64_t d = language.difficulty();
        if (d <= 5) {
            setCurrentLessonText(
                replaceAll(localized("sidebarLesson"), "#", std::to_string(d + 1)));
            const std::string letters = joinedCharacters(language.currentLevelLetters(), " ");
            currentCharactersLabel->setStringValue(
                replaceAll(localized("sidebarSymbols"), "$", letters));
            setFromLabelText(replaceAll(localized("sidebarLessonFrom"), "#", "6"));
            fromLabel->setHidden(false);
        } else {
            setCurrentLessonText(localized("sidebarLessonExpert"));
            currentCharactersLabel->setStringValue(localized("sidebarLessonAllLetters"));
            fromLabel->setHidden(true);
        }
    }

    const double y0 = switcherContainer->frame().maxY();
    auto withY = [](View* view, double y) { return Point{view->frame().x(), y}; };
    // The two lower sections start the slide from the top in automatic mode.
    AnimationContext::withoutAnimation([&] {
        if (!automatic) return;
        lessonParametersContainer->animator().setFrameOrigin(withY(lessonParametersContainer, 0));
        whileTypingContainer->animator().setFrameOrigin(withY(whileTypingContainer, 0));
    });
    AnimationContext::runGroup(
        [&](AnimationContext& context) {
            context.setDuration(0.5);
            hidden->setHidden(true);
            hidden->setAlphaValue(0);
            shown->setHidden(false);
            shown->setAlphaValue(1);
            shown->animator().setFrameOrigin(withY(shown, y0));
            lessonParametersContainer->animator().setFrameOrigin(
                withY(lessonParametersContainer, shown->frame().maxY()));
            whileTypingContainer->animator().setFrameOrigin(
                withY(whileTypingContainer, lessonParametersContainer->frame().maxY()));
        },
        [weak = std::weak_ptr<ViewController>(shared_from_this()), shown, hidden, y0] {
            auto controller = weak.lock();
            if (!controller) return;
            auto& self = static_cast<WVSettingsSidebarController&>(*controller);
            auto place = [](View* view, double y) {
                view->setFrameOrigin(Point{view->frame().x(), y});
            };
            place(hidden, y0);
            place(shown, y0);
            place(self.lessonParametersContainer, shown->frame().maxY());
            place(self.whileTypingContainer, self.lessonParametersContainer->frame().maxY());
        });
    updateLessonButtons();
}

double WVSettingsSidebarController::contentHeight() {
    const View* lessons =
        currentLanguage().difficultyAuto() ? automaticLessonContainer : manualLessonsContainer;
    return switcherContainer->frame().height() + whileTypingContainer->frame().height() +
           lessonParametersContainer->frame().height() + lessons->frame().height();
}

void WVSettingsSidebarController::adjustScrollView() {
    AnimationContext::runGroup(
        [this](AnimationContext&) { settingsContainerView->setAlphaValue(0); },
        [weak = std::weak_ptr<ViewController>(shared_from_this())] {
            auto controller = weak.lock();
            if (!controller) return;
            auto& self = static_cast<WVSettingsSidebarController&>(*controller);
            View* document = self.scrollView->documentView();
            document->setFrameSize(Size{document->bounds().width(), self.contentHeight()});
            self.settingsContainerView->setFrameOrigin(Point{0, 0});
            self.settingsContainerView->animator().setAlphaValue(1);
        });
}

void registerSettingsSidebar() {
    MainStoryboard::shared().registerController(
        "settingsController", [] { return std::make_shared<WVSettingsSidebarController>(); });
}

}  // namespace wv::screens
