#include "screens/statistics/WVStatisticsController.h"

#include <algorithm>

#include "app/Analytics.h"
#include "app/MainStoryboard.h"
#include "engine/Model.h"
#include "languages/LangData.h"
#include "languages/Language.h"
#include "platform/foundation/Text.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Window.h"
#include "screens/controls/WVGradientView.h"
#include "screens/statistics/WVDiagrammView.h"
#include "screens/statistics/WVLessonAverageView.h"
#include "screens/statistics/WVLessonAverageViewController.h"
#include "screens/statistics/WVLessonDetailsViewController.h"
#include "screens/statistics/WVStatisticsView.h"
#include "screens/statistics/WVStatisticsViewController.h"
#include "screens/statistics/WVSwitcher.h"
#include "storage/Local.h"

namespace wv::screens {

namespace {

constexpr double kWidth = 1100, kHeight = 620;
constexpr double kMargin = 30;
constexpr double kCaptionColumn = 56;
constexpr int kUnknownLayoutTag = -1;
constexpr int kEscapeKeyCode = 53;

TextField* addLabel(View* parent, const Rect& frame, double size, const Color& color, unsigned mask,
                    TextAlignment alignment = TextAlignment::Left,
                    FontWeight weight = FontWeight::Regular) {
    auto* field = new TextField(frame);
    field->setFont(Font::system(size, weight));
    field->setTextColor(color);
    field->setAlignment(alignment);
    field->setAutoresizingMask(mask);
    parent->addSubview(field);
    return field;
}

}  // namespace

WVStatisticsController::WVStatisticsController()
    : statisticsViewController(std::make_unique<WVStatisticsViewController>()),
      lessonGeneralViewController(std::make_unique<WVLessonAverageViewController>()),
      modelView(std::make_unique<WVLangSwitcherModelView>()) {}

WVStatisticsController::~WVStatisticsController() {
    for (auto token : observers_) NotificationCenter::defaultCenter().removeObserver(token);
    // The child controllers' views belong to this screen's view; they must not delete them.
    statisticsViewController->setView(nullptr);
    lessonGeneralViewController->setView(nullptr);
}

const std::shared_ptr<WVLessonDetailsViewController>&
WVStatisticsController::lessonDetailsViewController() {
    if (!lessonDetailsViewController_) {
        lessonDetailsViewController_ = std::dynamic_pointer_cast<WVLessonDetailsViewController>(
            MainStoryboard::shared().instantiateController("lessonDetailsController"));
        if (!lessonDetailsViewController_)
            lessonDetailsViewController_ = std::make_shared<WVLessonDetailsViewController>();
    }
    return lessonDetailsViewController_;
}

void WVStatisticsController::loadView() {
    const unsigned top = View::MinYMargin;
    auto* root = new WVGradientView(Rect(0, 0, kWidth, kHeight));
    setView(root);

    statsTitle = addLabel(root, Rect(kMargin, 556, 500, 36), 26, Color::white(),
                          top | View::MaxXMargin, TextAlignment::Left, FontWeight::Light);
    closeButton = new Button(Rect(kWidth - 56, 560, 32, 32));
    closeButton->setAutoresizingMask(View::MinXMargin | top);
    closeButton->setAttributedTitle(AttributedString(
        "\u2715",
        TextAttributes{
            Font::system(18), Color::white(0.8), {}, ParagraphStyle{TextAlignment::Center, 0}}));
    closeButton->setKeyEquivalent("\x1b");
    closeButton->action = [this](Control&) { closePressed(); };
    root->addSubview(closeButton);

    const double switcherX = kMargin + 150;
    const double switcherWidth = kWidth - switcherX - kMargin;
    forLanguageLabel = addLabel(root, Rect(kMargin, 522, 140, 18), 13, Color::white(0.7), top,
                                TextAlignment::Right);
    languageSwitcher = new WVSwitcher(Rect(switcherX, 518, switcherWidth, 26));
    languageSwitcher->setAutoresizingMask(View::WidthSizable | top);
    root->addSubview(languageSwitcher);
    forLayoutLabel = addLabel(root, Rect(kMargin, 488, 140, 18), 13, Color::white(0.7), top,
                              TextAlignment::Right);
    layoutSwitcher = new WVSwitcher(Rect(switcherX, 484, switcherWidth, 26));
    layoutSwitcher->setAutoresizingMask(View::WidthSizable | top);
    root->addSubview(layoutSwitcher);

    statsRecentLessons =
        addLabel(root, Rect(kMargin, 446, 400, 18), 13, Color::white(0.9), top | View::MaxXMargin);
    const unsigned legend = View::MinXMargin | top;
    auto* speedSwatch = new ImageView(Rect(kWidth - 262, 448, 10, 14), Image::named("bar1"));
    speedSwatch->setImageScaling(ImageScaling::AxesIndependently);
    speedSwatch->setAutoresizingMask(legend);
    root->addSubview(speedSwatch);
    statsSpeed = addLabel(root, Rect(kWidth - 246, 446, 100, 18), 13, Color::white(0.9), legend);
    auto* typoSwatch = new ImageView(Rect(kWidth - 140, 448, 10, 14), Image::named("barErrors"));
    typoSwatch->setImageScaling(ImageScaling::AxesIndependently);
    typoSwatch->setAutoresizingMask(legend);
    root->addSubview(typoSwatch);
    statsTypos = addLabel(root, Rect(kWidth - 124, 446, 94, 18), 13, Color::white(0.9), legend);

    const double trayHeight = 96;
    auto* frameView = new WVStatisticsView(Rect(kMargin, 140, kWidth - 2 * kMargin, 296));
    frameView->setAutoresizingMask(View::WidthSizable | View::HeightSizable);
    root->addSubview(frameView);
    statisticsView = frameView;
    scrollView = new ScrollView(
        Rect(0, 0, frameView->frame().width() - kCaptionColumn, frameView->frame().height()));
    scrollView->setAutoresizingMask(View::WidthSizable | View::HeightSizable);
    frameView->addSubview(scrollView);
    diagrammView = new WVDiagrammView(scrollView->bounds());
    scrollView->setDocumentView(diagrammView);

    const double trayWidth = WVLessonAverageViewController::trayWidth();
    lessonsTray = new View(Rect((kWidth - trayWidth) / 2, 24, trayWidth, trayHeight));
    lessonsTray->setAutoresizingMask(View::MinXMargin | View::MaxXMargin | View::MaxYMargin);
    root->addSubview(lessonsTray);

    // Captions the screen shows as they are; nothing writes them.
    resultsOfLastLessons = addLabel(root, Rect(kMargin, 0, 0, 0), 13, Color::white(), top);
    statsRecords = addLabel(root, Rect(kMargin, 0, 0, 0), 13, Color::white(), top);
}

void WVStatisticsController::viewDidLoad() {
    wv::WVStatisticsController::viewDidLoad();
    lessonGeneralViewController->setView(lessonsTray);
    attachChildControllers();
    modelView = std::make_unique<WVLangSwitcherModelView>();
    languageSwitcher->onSelected = [this](int tag) { modelView->selectedLang.setValue(tag); };
    layoutSwitcher->onSelected = [this](int tag) { modelView->selectedLayout.setValue(tag); };
}

void WVStatisticsController::attachChildControllers() {
    const auto& details = lessonDetailsViewController();
    details->view();
    details->setLesson(nullptr);
    diagrammView->popoverContentController = details;
    statisticsViewController->setView(statisticsView);
    statisticsViewController->diagrammView = diagrammView;
    forLanguageLabel->setVisible(true);
}

void WVStatisticsController::viewWillAppear() {
    wv::WVStatisticsController::viewWillAppear();
    for (auto token : observers_) NotificationCenter::defaultCenter().removeObserver(token);
    observers_.clear();
    for (const char* name :
         {kWindowDidResizeNotification, kWindowDidEndLiveResizeNotification,
          kWindowDidEnterFullScreenNotification, kWindowDidExitFullScreenNotification}) {
        observers_.push_back(NotificationCenter::defaultCenter().addObserver(
            name, nullptr, [this](const Notification&) { didResizeUI(); }));
    }

    modelView->languages.clear();
    Model& hub = model();
    const LangData& current = hub.langRoot().getLang(hub.config().language());
    const std::vector<Language> languages = lessonsTree().languages(current.type());
    std::vector<std::pair<std::string, int>> buttons;
    for (Language language : languages) {
        modelView->languages.push_back({statsLanguageName(language), rawValue(language)});
        buttons.emplace_back(modelView->languages.back().title, modelView->languages.back().tag);
    }
    languageSwitcher->setButtons(buttons);
    modelView->selectedLang.setValue(rawValue(current.type()));
    languageSwitcher->selectTag(rawValue(current.type()));
    bindSelection();
}

void WVStatisticsController::bindSelection() {
    bag = rx::DisposeBag();
    std::weak_ptr<ViewController> weak = weak_from_this();
    bag.insert(modelView->selectedLang.subscribe([this, weak](const int& tag) {
        if (weak.lock()) languageSelected(tag);
    }));
    bag.insert(modelView->selectedLayout.subscribe([this, weak](const int& tag) {
        if (weak.lock()) layoutSelected(tag);
    }));
}

void WVStatisticsController::languageSelected(int tag) {
    const std::optional<Language> language = languageFromRawValue(tag);
    if (!language) return;
    const LangData& data = model().langRoot().getLang(*language);
    fillLayoutTabs(*language);
    std::vector<std::pair<std::string, int>> buttons;
    for (const auto& tab : modelView->layouts) buttons.emplace_back(tab.title, tab.tag);
    layoutSwitcher->setButtons(buttons);
    modelView->selectedLayout.setValue(data.keys().currentLayoutIndex());
}

void WVStatisticsController::fillLayoutTabs(Language language) {
    modelView->layouts.clear();
    const LangData& data = model().langRoot().getLang(language);
    const LessonsTree& tree = lessonsTree();
    if (const auto leaf = tree.langLeafs.find(language); leaf != tree.langLeafs.end()) {
        const auto& layouts = leaf->second.layoutLeafs;
        if (layouts.count(kUnknownLayoutTag))
            modelView->layouts.push_back({"UNKNOWN", kUnknownLayoutTag});
        const std::vector<std::string> names = data.keys().layoutNames();
        for (size_t i = 0; i < names.size(); ++i)
            if (layouts.count(int(i))) modelView->layouts.push_back({names[i], int(i)});
    }
    const int current = data.keys().currentLayoutIndex();
    const bool listed =
        std::any_of(modelView->layouts.begin(), modelView->layouts.end(),
                    [&](const TabButtonModelView& tab) { return tab.tag == current; });
    if (!listed) modelView->layouts.push_back({data.keys().layoutData().name(), current});
}

void WVStatisticsController::layoutSelected(int tag) {
    const std::optional<Language> language = languageFromRawValue(modelView->selectedLang.value());
    if (!language) return;
    layoutSwitcher->selectTag(tag);
    buildLessonAverages(*language, tag);
}

void WVStatisticsController::buildLessonAverages(Language language, int layoutTag) {
    const LangData& data = model().langRoot().getLang(language);
    int maxSpeed = 150;
    int maxTypos = 5;
    std::vector<LessonInfoPtr> records;
    std::vector<LessonAverageInfo> averages;
    for (int idx = 0; idx < 10; ++idx) averages.push_back({idx, 0, false, &data});
    const LessonsTree& tree = lessonsTree();
    if (const auto leaf = tree.langLeafs.find(data.type()); leaf != tree.langLeafs.end()) {
        if (const auto layout = leaf->second.layoutLeafs.find(layoutTag);
            layout != leaf->second.layoutLeafs.end()) {
            maxSpeed = displaySpeed(int(layout->second.speedMaxCPM));
            maxTypos = int(layout->second.typosMax);
            records = layout->second.lessons;
            averages = layout->second.lessonAverages(&data);
        }
    }
    statisticsViewController->setMaxSpeed(maxSpeed);
    if (statisticsViewController->diagrammView)
        statisticsViewController->diagrammView->maxTyposCount = maxTypos;
    statisticsViewController->maxTyposCount = maxTypos;
    diagrammView->lessons = std::move(records);
    diagrammView->generateRandomBars();
    lessonGeneralViewController->lessonsAverage = std::move(averages);
    lessonGeneralViewController->refreshRows();
    updateContentSize();
}

void WVStatisticsController::updateContentSize() {
    if (!isViewLoaded()) return;
    const double visible = scrollView->bounds().width();
    const double needed = diagrammView->diagramWidth();
    const double w = visible <= needed ? needed : visible;
    const double h = scrollView->bounds().height();
    if (View* document = scrollView->documentView()) document->setFrameSize(Size{w, h});
    diagrammView->setFrameSize(Size{w, h});
    diagrammView->scrollToEnd();
}

const LessonsTree& WVStatisticsController::lessonsTree() const {
    return model().stats().lessonsTree();
}

void WVStatisticsController::didResizeUI() { updateContentSize(); }

void WVStatisticsController::viewDidAppear() {
    wv::WVStatisticsController::viewDidAppear();
    // The presentation gives the screen the typing screen's size only after the data was
    // handed over; no window notification follows, so the diagram is sized here once more.
    updateContentSize();
    localizeCaptions();
    Analytics::logContentView("Statistics", std::nullopt, std::nullopt,
                              {{"lang", std::string(languageName(model().config().language()))}});
}

void WVStatisticsController::viewWillDisappear() {
    wv::WVStatisticsController::viewWillDisappear();
    // The pop-over lives in the main window's content view; it goes with the screen.
    if (diagrammView) diagrammView->mouseExited(MouseEvent{});
    for (auto token : observers_) NotificationCenter::defaultCenter().removeObserver(token);
    observers_.clear();
}

std::string WVStatisticsController::statsLanguageName(Language language) {
    static const char* const keys[] = {
        "statsEnglish", "statsUkrainian", "statsRussian", "statsGerman",  "statsSpanish",
        "statsFrench",  "statsGreek",     "statsTurkish", "statsItalian", "statsPortuguese"};
    const int raw = rawValue(language);
    if (raw < 0 || raw >= int(std::size(keys))) return {};
    return Local::shared().valueForKey(keys[raw]);
}

void WVStatisticsController::localizeCaptions() {
    lessonGeneralViewController->view();
    for (View* sub : lessonsTray->subviews())
        if (auto* row = dynamic_cast<WVLessonAverageView*>(sub)) row->showLessonInfo();
    lessonDetailsViewController()->fillDetails();
    Local& local = Local::shared();
    forLanguageLabel->setStringValue(local.localize("statsFor"));
    forLayoutLabel->setStringValue(text::lower(local.localize("sidebarLayout")));
    statsTitle->setStringValue(local.localize("statsTitle"));
    statsSpeed->setStringValue(local.localize("statsSpeed"));
    statsTypos->setStringValue(local.localize("statsTypos"));
    statsRecentLessons->setStringValue(local.localize("statsRecentLessons"));
}

bool WVStatisticsController::performKeyEquivalent(const KeyEvent& event) {
    if (!closeButton) return false;
    KeyEvent key = event;
    // Keys are read by their place on the keyboard; what the desktop's layout calls the key
    // is not to be relied on, so Escape is recognised by its key code.
    if (key.keyCode == kEscapeKeyCode) key.characters = "\x1b";
    return closeButton->performKeyEquivalent(key);
}

void WVStatisticsController::closePressed() { dismissController(); }

}  // namespace wv::screens
