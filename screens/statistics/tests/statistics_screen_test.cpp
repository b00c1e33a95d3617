#include <gtest/gtest.h>

#include "engine/LessonsTree.h"
#include "engine/Model.h"
#include "languages/LangData.h"
#include "platform/dispatch/ManualRunLoop.h"
#include "platform/foundation/Text.h"
#include "screens/statistics/WVDiagrammView.h"
#include "screens/statistics/WVLessonAverageView.h"
#include "screens/statistics/WVLessonAverageViewController.h"
#include "screens/statistics/WVStatisticsController.h"
#include "screens/statistics/WVStatisticsView.h"
#include "screens/statistics/WVStatisticsViewController.h"
#include "screens/statistics/WVSwitcher.h"
#include "screens/statistics/tests/StatisticsTestSupport.h"
#include "storage/Config.h"
#include "storage/Local.h"

namespace wv::screens {
namespace {

// The screen over a lesson tree of the test's own; counts the charts it builds.
class ScreenUnderTest : public WVStatisticsController {
  public:
    LessonsTree tree;
    int charts = 0;
    void buildLessonAverages(Language language, int layoutTag) override {
        ++charts;
        WVStatisticsController::buildLessonAverages(language, layoutTag);
    }

  protected:
    const LessonsTree& lessonsTree() const override { return tree; }
};

class StatisticsScreenTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::statisticsApplication();
        model().config().setLanguage(Language::en);
        screen = std::make_shared<ScreenUnderTest>();
    }

    void file(Language language, std::optional<int> layout, test::Record r) {
        auto lesson = std::make_shared<LessonInfo>(*test::makeLesson(r));
        lesson->language = language;
        lesson->layoutIdx = layout;
        screen->tree.add(lesson);
    }
    void open() {
        screen->view();
        screen->viewWillAppear();
        screen->viewDidAppear();
    }
    std::vector<std::string> titles(WVSwitcher* switcher) {
        std::vector<std::string> list;
        for (int i = 0; i < switcher->segmentedControl->segmentCount(); ++i)
            list.push_back(switcher->segmentedControl->labelForSegment(i));
        return list;
    }
    std::string selected(WVSwitcher* switcher) {
        return switcher->segmentedControl->labelForSegment(
            switcher->segmentedControl->selectedSegment());
    }
    void tap(WVSwitcher* switcher, const std::string& title) {
        for (int i = 0; i < switcher->segmentedControl->segmentCount(); ++i) {
            if (switcher->segmentedControl->labelForSegment(i) != title) continue;
            switcher->segmentedControl->setSelected(true, i);
            switcher->onClick(*switcher->segmentedControl);
            return;
        }
        ADD_FAILURE() << "no tab " << title;
    }
    WVStatisticsView& frame() { return static_cast<WVStatisticsView&>(*screen->statisticsView); }
    std::string name(Language language) {
        return WVStatisticsController::statsLanguageName(language);
    }
    LangData& lang(Language language) { return model().langRoot().getLang(language); }

    ManualRunLoop loop;
    std::shared_ptr<ScreenUnderTest> screen;
};

TEST_F(StatisticsScreenTest, NoRecordsAtAll) {
    lang(Language::en).selectLayoutByName("DVORAK");
    open();
    EXPECT_EQ(titles(screen->languageSwitcher), (std::vector<std::string>{name(Language::en)}));
    EXPECT_EQ(selected(screen->languageSwitcher), name(Language::en));
    EXPECT_EQ(titles(screen->layoutSwitcher), (std::vector<std::string>{"DVORAK"}));
    EXPECT_EQ(selected(screen->layoutSwitcher), "DVORAK");
    EXPECT_EQ(frame().maxSpeedTitleValue, 200);
    EXPECT_EQ(frame().midSpeedTitleValue, 100);
    ASSERT_TRUE(screen->diagrammView->lessons.has_value());
    EXPECT_TRUE(screen->diagrammView->lessons->empty());
    EXPECT_EQ(screen->diagrammView->maxTyposCount, 5);
    EXPECT_GT(screen->diagrammView->placeholderCount(), 80);
    const auto rows = screen->lessonGeneralViewController->rows();
    ASSERT_EQ(rows.size(), 10u);
    for (auto* row : rows) EXPECT_FALSE(row->lessonInfo->wasActive);
}

TEST_F(StatisticsScreenTest, TabsOfLanguagesAndLayouts) {
    file(Language::ru, 1, {.id = 1});
    file(Language::de, 0, {.id = 2});
    file(Language::en, 2, {.id = 3, .speed = 240, .typos = 3});
    lang(Language::fr).selectLayoutByName("AZERTY PC");
    model().config().setLanguage(Language::fr);
    lang(Language::en).selectLayoutByName("QWERTY");
    open();
    auto languages = titles(screen->languageSwitcher);
    ASSERT_EQ(languages.size(), 4u);
    EXPECT_EQ(languages.back(), name(Language::fr))
        << "the learning language, without records, last";
    std::sort(languages.begin(), languages.end());
    std::vector<std::string> expected{name(Language::ru), name(Language::de), name(Language::en),
                                      name(Language::fr)};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(languages, expected);
    EXPECT_EQ(selected(screen->languageSwitcher), name(Language::fr));
    EXPECT_EQ(titles(screen->layoutSwitcher), (std::vector<std::string>{"AZERTY PC"}));

    // Records under layout 2 only while layout 0 is current: both tabs, layout 0 chosen.
    tap(screen->languageSwitcher, name(Language::en));
    EXPECT_EQ(titles(screen->layoutSwitcher), (std::vector<std::string>{"COLEMAK", "QWERTY"}));
    EXPECT_EQ(selected(screen->layoutSwitcher), "QWERTY");
    EXPECT_EQ(frame().maxSpeedTitleValue, 200) << "the start values";
    EXPECT_TRUE(screen->diagrammView->lessons->empty());

    tap(screen->layoutSwitcher, "COLEMAK");
    EXPECT_EQ(screen->diagrammView->lessons->size(), 1u);
    EXPECT_EQ(frame().maxSpeedTitleValue, 250);
    EXPECT_EQ(screen->diagrammView->maxTyposCount, 3);
    // The language tab again: its current layout, whatever was shown.
    tap(screen->languageSwitcher, name(Language::en));
    EXPECT_EQ(selected(screen->layoutSwitcher), "QWERTY");
    EXPECT_TRUE(screen->diagrammView->lessons->empty());
    EXPECT_EQ(lang(Language::en).keys().currentLayoutIndex(), 0) << "the settings stay";
    EXPECT_EQ(model().config().language(), Language::fr);
}

TEST_F(StatisticsScreenTest, RecordsWithoutALayoutComeFirstAndDamagedIndexesAreNotShown) {
    file(Language::en, std::nullopt, {.id = 1, .speed = 90});
    file(Language::en, 1, {.id = 2});
    file(Language::en, 42, {.id = 3});  // past the language's list
    file(Language::en, -7, {.id = 4});
    lang(Language::en).selectLayoutByName("QWERTY");
    open();
    EXPECT_EQ(titles(screen->layoutSwitcher),
              (std::vector<std::string>{"UNKNOWN", "DVORAK", "QWERTY"}));
    tap(screen->layoutSwitcher, "UNKNOWN");
    ASSERT_EQ(screen->diagrammView->lessons->size(), 1u);
    EXPECT_EQ(screen->diagrammView->lessons->front()->id, 1);
    screen->modelView->selectedLang.setValue(99);  // not a language: ignored
    EXPECT_EQ(screen->diagrammView->lessons->size(), 1u);
}

TEST_F(StatisticsScreenTest, ALayoutTabTappedAgainRollsNewPlaceholders) {
    file(Language::en, 0, {.id = 1});
    open();
    screen->diagrammView->setSelectedIndex(7);
    const int before = screen->charts;
    tap(screen->layoutSwitcher, "QWERTY");
    EXPECT_EQ(screen->charts, before + 1);
    EXPECT_EQ(screen->diagrammView->selectedIndex(), 0);
}

// Reopening rebuilds the tabs for the learning language of now; a tap runs its chart once,
// however often the screen was opened.
TEST_F(StatisticsScreenTest, ReopeningRebuildsTheTabsAndBindsOnce) {
    file(Language::de, 0, {.id = 1});
    file(Language::en, 0, {.id = 2});
    open();
    screen->viewWillDisappear();
    model().config().setLanguage(Language::de);
    open();
    EXPECT_EQ(selected(screen->languageSwitcher), name(Language::de));
    EXPECT_EQ(titles(screen->languageSwitcher).size(), 2u);
    const int before = screen->charts;
    tap(screen->languageSwitcher, name(Language::en));
    EXPECT_EQ(screen->charts, before + 1);
}

TEST_F(StatisticsScreenTest, WordsPerMinuteScaleAndNoTypos) {
    model().config().setSpeedType(SpeedType::WPM);
    file(Language::en, 0, {.id = 1, .speed = 300, .typos = 0});
    file(Language::en, 0, {.id = 2, .speed = 120, .typos = 0});
    open();
    EXPECT_EQ(screen->statisticsViewController->maxSpeed(), 59);
    EXPECT_EQ(frame().maxSpeedTitleValue, 100);
    EXPECT_EQ(frame().midSpeedTitleValue, 50);
    EXPECT_EQ(screen->diagrammView->maxTyposCount, 0);
    EXPECT_EQ(screen->statisticsViewController->maxTyposCount, 0);
}

TEST_F(StatisticsScreenTest, CaptionsInTheInterfaceLanguage) {
    open();
    Local& local = Local::shared();
    EXPECT_EQ(screen->forLanguageLabel->stringValue(), local.localize("statsFor"));
    EXPECT_EQ(screen->forLayoutLabel->stringValue(), text::lower(local.localize("sidebarLayout")));
    EXPECT_EQ(screen->statsTitle->stringValue(), local.localize("statsTitle"));
    EXPECT_EQ(screen->statsSpeed->stringValue(), local.localize("statsSpeed"));
    EXPECT_EQ(screen->statsTypos->stringValue(), local.localize("statsTypos"));
    EXPECT_EQ(screen->statsRecentLessons->stringValue(), local.localize("statsRecentLessons"));
    EXPECT_FALSE(screen->forLanguageLabel->isHidden());
}

// The window grows: the chart stretches, the tray stays centred below it.
TEST_F(StatisticsScreenTest, FollowsTheWindowSize) {
    file(Language::en, 0, {.id = 1});
    open();
    View* root = screen->view();
    root->setFrame(Rect(0, 0, 1650, 930));
    screen->didResizeUI();
    EXPECT_EQ(screen->statisticsView->frame().width(), 1650 - 60);
    EXPECT_EQ(screen->scrollView->frame().width(), 1650 - 60 - 56);
    EXPECT_GE(screen->diagrammView->frame().width(), screen->scrollView->frame().width());
    EXPECT_EQ(screen->diagrammView->frame().height(), screen->scrollView->frame().height());
    const Rect tray = screen->lessonsTray->frame();
    EXPECT_NEAR(tray.midX(), 825, 0.5);
    EXPECT_LT(tray.maxY(), screen->statisticsView->frame().minY());
    EXPECT_EQ(screen->scrollView->documentVisibleRect().maxX(),
              screen->diagrammView->frame().width())
        << "the newest record at the right edge";
}

}  // namespace
}  // namespace wv::screens
