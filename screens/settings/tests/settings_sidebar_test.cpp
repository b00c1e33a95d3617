// The sidebar's actions, lesson panel, section stack and pop-ups in the running application.
#include <gtest/gtest.h>

#include "platform/foundation/Log.h"
#include "platform/ui/MenuItem.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Window.h"
#include "screens/controls/WVClickListenerView.h"
#include "screens/controls/WVModeSwitcher.h"
#include "screens/controls/WVPopupButtonCell.h"
#include "screens/controls/WVRadioButton.h"
#include "screens/controls/WVSwitchButton.h"
#include "screens/settings/tests/SidebarTestSupport.h"
#include "storage/Local.h"
#include "storage/Utils.h"

namespace wv {
namespace {

using test::Sidebar;
using test::SidebarApplication;

size_t saves(const LogCapture& log) {
    size_t count = 0;
    for (const std::string& line : log.lines())
        if (line.rfind("Saved config to file : ", 0) == 0) ++count;
    return count;
}

struct ActionCase {
    const char* name;
    std::function<void(SidebarApplication&, Sidebar&)> act;
    std::vector<ConfigUpdate> announced;
    std::vector<bool> screenHears;
    std::function<bool(Model&)> stored;
};

void PrintTo(const ActionCase& c, std::ostream* os) { *os << c.name; }

class SidebarActions : public ::testing::TestWithParam<ActionCase> {};

// Each action stores once (one save), announces as its row says and tells the typing screen
// whether the line is made anew.
TEST_P(SidebarActions, WriteAnnounceAndTellTheTypingScreen) {
    const ActionCase& c = GetParam();
    SidebarApplication s;
    s.open();
    Sidebar& sidebar = s.sidebar();
    std::vector<ConfigUpdate> announced;
    bool subscribed = false;
    auto subscription = s.app.hub().config().didChange.subscribe([&](const ConfigUpdate& u) {
        if (subscribed) announced.push_back(u);
    });
    subscribed = true;
    std::vector<bool> heard;
    sidebar.onSettingsChanged = [&](bool textChanged) { heard.push_back(textChanged); };
    LogCapture log;

    c.act(s, sidebar);
    s.settle();
    EXPECT_EQ(announced, c.announced);
    EXPECT_EQ(saves(log), 1u);
    EXPECT_EQ(heard, c.screenHears);
    EXPECT_TRUE(c.stored(s.app.hub()));
    subscription.dispose();
}

LangData& current(Model& hub) { return hub.langRoot().getLang(hub.config().language()); }

INSTANTIATE_TEST_SUITE_P(
    Table, SidebarActions,
    ::testing::Values(
        ActionCase{"hands",
                   [](auto&, Sidebar& b) { SidebarApplication::click(b.handsButton); },
                   {ConfigUpdate::Normal},
                   {false},
                   [](Model& m) { return !m.config().handsOn(); }},
        ActionCase{"key hints",
                   [](auto&, Sidebar& b) { SidebarApplication::click(b.hintsButton); },
                   {ConfigUpdate::Normal},
                   {false},
                   [](Model& m) { return !m.config().keyHintsOn(); }},
        ActionCase{"error sound",
                   [](auto&, Sidebar& b) { SidebarApplication::click(b.btnSoundOn); },
                   {ConfigUpdate::Normal},
                   {},
                   [](Model& m) { return !m.config().soundOn(); }},
        ActionCase{"speed unit",
                   [](SidebarApplication& s, Sidebar& b) {
                       s.pick(b.popupSpeedType, Local::shared().localize("sidebarWPM"));
                   },
                   {ConfigUpdate::Normal},
                   {false},
                   [](Model& m) { return m.config().speedType() == SpeedType::WPM; }},
        ActionCase{"capitals",
                   [](auto&, Sidebar& b) { SidebarApplication::click(b.capitalLettersButton); },
                   {ConfigUpdate::TextUpdate},
                   {true},
                   [](Model& m) { return current(m).capitalsOn(); }},
        ActionCase{"numbers",
                   [](auto&, Sidebar& b) { SidebarApplication::click(b.numbersButton); },
                   {ConfigUpdate::TextUpdate},
                   {true},
                   [](Model& m) { return current(m).numbersOn(); }},
        ActionCase{"punctuation",
                   [](auto&, Sidebar& b) { SidebarApplication::click(b.punctuationButton); },
                   {ConfigUpdate::TextUpdate},
                   {true},
                   [](Model& m) { return current(m).punctuationOn(); }},
        ActionCase{"manual mode",
                   [](auto&, Sidebar& b) {
                       SidebarApplication::click(
                           b.modeSwitcher,
                           QPoint(int((*b.modeSwitcher->imageRects)[1].midX()), 13));
                   },
                   {ConfigUpdate::Normal},
                   {},
                   [](Model& m) { return !current(m).difficultyAuto(); }},
        ActionCase{
            "expert lesson",
            [](auto&, Sidebar& b) { SidebarApplication::click(b.btnLessonExpert, QPoint(10, 13)); },
            {ConfigUpdate::TextUpdate},
            {true},
            [](Model& m) { return current(m).difficulty() == 6; }},
        ActionCase{"layout",
                   [](SidebarApplication& s, Sidebar& b) { s.pick(b.layoutPopup, "DVORAK"); },
                   {ConfigUpdate::TextUpdate},
                   {false},
                   [](Model& m) { return current(m).keys().layoutData().name() == "DVORAK"; }},
        ActionCase{"language",
                   [](SidebarApplication& s, Sidebar& b) { s.pick(b.languagePopup, "FR"); },
                   {ConfigUpdate::TextUpdate},
                   {true},
                   [](Model& m) { return m.config().language() == Language::fr; }}));

TEST(SidebarControls, ALanguageChangeRefillsEveryControlForThatLanguage) {
    SidebarApplication s;
    s.app.hub().langRoot().getLang(Language::fr).setNumbersOn(true);
    s.app.hub().langRoot().getLang(Language::fr).setDifficultyAuto(false);
    s.app.hub().langRoot().getLang(Language::fr).selectLayoutByName("BÉPO");
    s.open();
    Sidebar& sidebar = s.sidebar();
    EXPECT_EQ(sidebar.numbersButton->state(), 0);
    EXPECT_EQ(sidebar.modeSwitcher->selectedSegment, Sidebar::autoMode);
    s.pick(sidebar.languagePopup, "FR");
    EXPECT_EQ(sidebar.numbersButton->state(), 1) << "French's own switches";
    EXPECT_EQ(sidebar.modeSwitcher->selectedSegment, Sidebar::manualMode);
    std::vector<std::string> layouts;
    for (const auto& item : sidebar.layoutPopup->menu().items()) layouts.push_back(item->title());
    EXPECT_EQ(layouts, (std::vector<std::string>{"AZERTY", "AZERTY PC", "QWERTY Canada",
                                                 "QWERTZ Swiss", "BÉPO"}));
    EXPECT_EQ(sidebar.layoutPopup->titleOfSelectedItem(), "BÉPO");
    EXPECT_EQ(sidebar.languagePopup->titleOfSelectedItem(), "FR");
    EXPECT_EQ(static_cast<WVPopupButtonCell&>(sidebar.languagePopup->cell()).customImage,
              Image::named("flagFR"));
    // Toggling numbers now changes French only.
    SidebarApplication::click(sidebar.numbersButton);
    EXPECT_FALSE(s.app.hub().langRoot().getLang(Language::fr).numbersOn());
    EXPECT_FALSE(s.app.hub().langRoot().getLang(Language::en).numbersOn());
}

TEST(SidebarControls, PopupsAreRefilledOnEveryAppearanceNeverGrown) {
    SidebarApplication s;
    s.app.hub().config().setLanguage(Language::gr);
    s.app.hub().config().setSpeedType(SpeedType::WPM);
    for (int round = 0; round < 2; ++round) {
        s.open();
        Sidebar& sidebar = s.sidebar();
        EXPECT_EQ(sidebar.languagePopup->numberOfItems(), 10);
        EXPECT_EQ(sidebar.languagePopup->titleOfSelectedItem(), "GR");
        EXPECT_EQ(sidebar.layoutPopup->numberOfItems(), 1);
        EXPECT_EQ(sidebar.layoutPopup->titleOfSelectedItem(), "Greek");
        EXPECT_EQ(sidebar.popupSpeedType->numberOfItems(), 2);
        EXPECT_EQ(sidebar.popupSpeedType->indexOfSelectedItem(), 1);
        EXPECT_EQ(sidebar.modeSwitcher->titleLabels.size(), 2u);
        SidebarApplication::click(sidebar.clickListenerView);
        s.settle();
        ASSERT_FALSE(s.app.screen().isSidebarOpened);
    }
}

struct PanelCase {
    const char* name;
    bool automatic;
    int difficulty;
};

class LessonPanel : public ::testing::TestWithParam<PanelCase> {};

TEST_P(LessonPanel, ShowsTheLessonOfItsModeAndStacksTheSections) {
    const PanelCase& c = GetParam();
    SidebarApplication s;
    LangData& english = s.app.hub().langRoot().getLang(Language::en);
    english.setDifficulty(c.difficulty);
    english.setDifficultyAuto(c.automatic);
    s.open();
    Sidebar& b = s.sidebar();
    Local& local = Local::shared();
    const std::string before = b.currentLessonLabel->stringValue();

    View* shown = c.automatic ? b.automaticLessonContainer : b.manualLessonsContainer;
    View* hidden = c.automatic ? b.manualLessonsContainer : b.automaticLessonContainer;
    EXPECT_FALSE(shown->isHidden());
    EXPECT_TRUE(hidden->isHidden());
    EXPECT_EQ(hidden->alphaValue(), 0);
    EXPECT_EQ(shown->frame().y(), b.switcherContainer->frame().maxY());
    EXPECT_EQ(b.lessonParametersContainer->frame().y(), shown->frame().maxY());
    EXPECT_EQ(b.whileTypingContainer->frame().y(), b.lessonParametersContainer->frame().maxY());
    const double height = b.switcherContainer->frame().height() + shown->frame().height() +
                          b.lessonParametersContainer->frame().height() +
                          b.whileTypingContainer->frame().height();
    EXPECT_EQ(b.contentHeight(), height);
    EXPECT_EQ(b.scrollView->documentView()->frame().height(), height);
    EXPECT_EQ(b.settingsContainerView->alphaValue(), 1.0);

    // Exactly the lesson's button is selected, with the check mark.
    for (size_t i = 0; i < b.btnLessons.size(); ++i) {
        EXPECT_EQ(b.btnLessons[i]->selected, int(i) == c.difficulty) << i;
        EXPECT_EQ(b.btnLessons[i]->image() != nullptr, int(i) == c.difficulty) << i;
    }
    EXPECT_EQ(b.btnLessonExpert->title(), local.localize("sidebarLessonExpert") + " \xE2\x80\xA2 " +
                                              local.localize("sidebarLessonAllLetters"));
    EXPECT_EQ(b.btnLesson1->title(),
              "Lesson 1 \xE2\x80\xA2 " +
                  joinedCharacters(s.app.hub().langRoot().lessonLetters(0, Language::en), " "));

    if (!c.automatic) return;
    if (c.difficulty <= 5) {
        EXPECT_EQ(b.currentLessonLabel->stringValue(),
                  "Lesson " + std::to_string(c.difficulty + 1));
        EXPECT_EQ(b.currentCharactersLabel->stringValue(),
                  "Letters: " + joinedCharacters(english.currentLevelLetters(), " "));
        EXPECT_EQ(b.fromLabel->stringValue(), " of 6");
        EXPECT_FALSE(b.fromLabel->isHidden());
        EXPECT_DOUBLE_EQ(b.fromLabel->frame().x(), b.currentLessonLabel->frame().maxX());
    } else {
        EXPECT_EQ(b.currentLessonLabel->stringValue(), "Expert");
        EXPECT_EQ(b.currentCharactersLabel->stringValue(), "All letters");
        EXPECT_TRUE(b.fromLabel->isHidden());
    }
    (void)before;
}

INSTANTIATE_TEST_SUITE_P(Modes, LessonPanel,
                         ::testing::Values(PanelCase{"automatic lesson 3", true, 2},
                                           PanelCase{"automatic expert", true, 6},
                                           PanelCase{"manual lesson 4", false, 3},
                                           PanelCase{"manual expert", false, 6}),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 if (ch == ' ') ch = '_';
                             return name;
                         });

TEST(SidebarControls, ManualModeLeavesThePanelTextsAsTheyWere) {
    SidebarApplication s;
    s.app.hub().langRoot().getLang(Language::en).setDifficulty(1);
    s.open();
    Sidebar& b = s.sidebar();
    ASSERT_EQ(b.currentLessonLabel->stringValue(), "Lesson 2");
    SidebarApplication::click(b.modeSwitcher,
                              QPoint(int((*b.modeSwitcher->imageRects)[1].midX()), 13));
    s.settle();
    SidebarApplication::click(b.btnLesson5, QPoint(10, 13));
    s.settle();
    EXPECT_EQ(b.currentLessonLabel->stringValue(), "Lesson 2");
    EXPECT_EQ(s.app.hub().langRoot().getLang(Language::en).difficulty(), 4);
    // Back to automatic: the progression goes on from the chosen lesson.
    SidebarApplication::click(b.modeSwitcher,
                              QPoint(int((*b.modeSwitcher->imageRects)[0].midX()), 13));
    s.settle();
    EXPECT_EQ(b.currentLessonLabel->stringValue(), "Lesson 5");
}

// ---- Faults mended

TEST(SidebarFaults, EveryPresentationFollowsWindowResizesNotOnlyTheFirst) {
    SidebarApplication s;
    for (int round = 0; round < 2; ++round) {
        s.open();
        Sidebar& b = s.sidebar();
        NotificationCenter::defaultCenter().post(kWindowDidResizeNotification);
        EXPECT_EQ(b.settingsContainerView->alphaValue(), 0.0) << "laid out again, round " << round;
        s.settle();
        EXPECT_EQ(b.settingsContainerView->alphaValue(), 1.0);
        SidebarApplication::click(b.clickListenerView);
        s.settle();
        NotificationCenter::defaultCenter().post(kWindowDidResizeNotification);
        EXPECT_EQ(b.settingsContainerView->alphaValue(), 1.0) << "not while it is closed";
    }
}

TEST(SidebarFaults, TheClickObservationHoldsTheSidebarWeaklyAndGoesWithIt) {
    test::application();
    ManualRunLoop loop;
    auto sidebar = std::make_shared<Sidebar>();
    sidebar->view();
    std::weak_ptr<Sidebar> weak = sidebar;
    sidebar.reset();
    EXPECT_TRUE(weak.expired()) << "the observation kept the sidebar alive";
    NotificationCenter::defaultCenter().post(WVClickListenerViewEventRecieved());
}

TEST(SidebarFaults, AnExtrasClickSetsWhatTheSwitchShowsAfterSettingsArriveFromElsewhere) {
    SidebarApplication s;
    s.open();
    Sidebar& b = s.sidebar();
    ASSERT_EQ(b.capitalLettersButton->state(), 0);
    // Settings of another installation turn capitals on while the sidebar is open.
    plist::Dictionary settings = s.app.hub().langRoot().getLang(Language::en).toDictionary();
    settings.set("capitalsOnEng", true);
    s.app.hub().applyConfig(settings);
    ASSERT_TRUE(s.app.hub().langRoot().getLang(Language::en).capitalsOn());
    SidebarApplication::click(b.capitalLettersButton);  // the switch shows off, so this means on
    EXPECT_EQ(b.capitalLettersButton->state(), 1);
    EXPECT_TRUE(s.app.hub().langRoot().getLang(Language::en).capitalsOn());
}

// ---- Bad input

TEST(SidebarBadInput, AnOutOfRangeSettingsFileShowsClampedOrFallbackValues) {
    // Written before the application starts, as another version or a hand edit could leave it.
    {
        std::filesystem::create_directories(Model::configURL().parent_path());
        QProcess python;
        python.start("python3", {"-c",
                                 "import plistlib, sys\n"
                                 "d = {'language': 77, 'speedType': 9, 'difficultyEng': 42,\n"
                                 "     'difficultyEngAuto': True, 'layoutEng': 99}\n"
                                 "with open(sys.argv[1], 'wb') as f: plistlib.dump(d, f)",
                                 QString::fromStdString(Model::configURL().string())});
        ASSERT_TRUE(python.waitForFinished(10000));
    }
    SidebarApplication s;
    s.open();
    Sidebar& b = s.sidebar();
    EXPECT_EQ(b.languagePopup->titleOfSelectedItem(), "EN");
    EXPECT_EQ(b.layoutPopup->indexOfSelectedItem(), 0);
    EXPECT_EQ(b.popupSpeedType->indexOfSelectedItem(), 0);
    EXPECT_EQ(b.currentLessonLabel->stringValue(), "Expert") << "the lesson clamped to 6";
    EXPECT_TRUE(b.btnLessonExpert->selected);
    EXPECT_NE(static_cast<WVPopupButtonCell&>(b.languagePopup->cell()).customImage, nullptr);
}

}  // namespace
}  // namespace wv
