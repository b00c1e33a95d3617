// The whole application with the sidebar, offscreen, driven by real clicks: every setting
// changed through its control, saved, seen by the typing screen and read back by a fresh hub.
#include <gtest/gtest.h>

#include "platform/ui/ScrollView.h"
#include "platform/ui/TextField.h"
#include "screens/controls/WVClickListenerView.h"
#include "screens/controls/WVModeSwitcher.h"
#include "screens/controls/WVRadioButton.h"
#include "screens/controls/WVSwitchButton.h"
#include "screens/settings/tests/SidebarTestSupport.h"
#include "storage/Local.h"

namespace wv {
namespace {

using test::SidebarApplication;

TEST(SettingsEndToEnd, EverySettingThroughItsControlIsSavedAndShownOnTheTypingScreen) {
    SidebarApplication s;
    WVMainViewController& screen = s.app.screen();
    s.open();
    ASSERT_TRUE(screen.isSidebarOpened);
    auto& sidebar = s.sidebar();
    View* panel = sidebar.view();
    EXPECT_EQ(panel->superview(), screen.view());
    const Rect screenBounds = screen.view()->bounds();
    EXPECT_EQ(panel->frame(), Rect(screenBounds.width() - 320, 0, 320, screenBounds.height()));

    struct Step {
        const char* name;
        std::function<void()> act;
        bool newLine;
        const char* key;
        QJsonValue stored;
    };
    auto clickSwitch = [&](WVSwitchButton* button) {
        return [button] { SidebarApplication::click(button); };
    };
    std::shared_ptr<test::OpenMenuSeen> languageMenu;
    const Step steps[] = {
        {"language", [&] { languageMenu = s.pick(sidebar.languagePopup, "RU"); }, true, "language",
         2},
        {"layout",
         [&] {
             s.pick(sidebar.layoutPopup,
                    "\xD0\x9C\xD0\xB0\xD1\x88\xD0\xB8\xD0\xBD\xD0\xBE\xD0\xBF\xD0\xB8\xD1\x81\xD1"
                    "\x8C");
         },
         false, "layoutRus", 2},
        {"mode",
         [&] {
             const Rect manual = (*sidebar.modeSwitcher->imageRects)[1];
             SidebarApplication::click(sidebar.modeSwitcher, QPoint(int(manual.midX()), 13));
         },
         false, "difficultyRusAuto", false},
        {"lesson", [&] { SidebarApplication::click(sidebar.btnLesson4, QPoint(20, 13)); }, true,
         "difficultyRus", 3},
        {"capitals", clickSwitch(sidebar.capitalLettersButton), true, "capitalsOnRus", true},
        {"numbers", clickSwitch(sidebar.numbersButton), true, "numbersOnRus", true},
        {"punctuation", clickSwitch(sidebar.punctuationButton), true, "punctuationOnRus", true},
        {"speed unit",
         [&] { s.pick(sidebar.popupSpeedType, Local::shared().localize("sidebarWPM")); }, false,
         "speedType", 1},
        {"hands", clickSwitch(sidebar.handsButton), false, "handsOn", false},
        {"key hints", clickSwitch(sidebar.hintsButton), false, "keyHintsOn", false},
        {"error sound", clickSwitch(sidebar.btnSoundOn), false, "soundOn", false},
    };
    for (const Step& step : steps) {
        const int linesBefore = s.linesStarted();
        step.act();
        s.settle();
        EXPECT_EQ(s.linesStarted() - linesBefore, step.newLine ? 1 : 0) << step.name;
        EXPECT_EQ(test::readConfigWithPython().value(step.key), step.stored) << step.name;
        EXPECT_TRUE(screen.isSidebarOpened) << step.name << ": the sidebar stays open";
    }
    ASSERT_TRUE(languageMenu && languageMenu->opened);
    EXPECT_EQ(languageMenu->titles.size(), 10u);
    EXPECT_EQ(languageMenu->hasIcon, std::vector<bool>(10, true)) << "every language with its flag";
    EXPECT_EQ(screen.indicatorSpeedType->stringValue(), Local::shared().localize("mainSpeedWPM"));
    EXPECT_EQ(sidebar.btnLesson4->state(), 1);
    EXPECT_FALSE(sidebar.manualLessonsContainer->isHidden());
    EXPECT_TRUE(sidebar.automaticLessonContainer->isHidden());

    // A fresh hub reading the file has every choice.
    Model fresh;
    fresh.loadConfig();
    const LangData& russian = fresh.langRoot().getLang(Language::ru);
    EXPECT_EQ(fresh.config().language(), Language::ru);
    EXPECT_EQ(russian.keys().layoutData().name(),
              "\xD0\x9C\xD0\xB0\xD1\x88\xD0\xB8\xD0\xBD\xD0\xBE\xD0\xBF\xD0\xB8\xD1\x81\xD1\x8C");
    EXPECT_FALSE(russian.difficultyAuto());
    EXPECT_EQ(russian.difficulty(), 3);
    EXPECT_TRUE(russian.capitalsOn());
    EXPECT_TRUE(russian.numbersOn());
    EXPECT_TRUE(russian.punctuationOn());
    EXPECT_EQ(fresh.config().speedType(), SpeedType::WPM);
    EXPECT_FALSE(fresh.config().handsOn());
    EXPECT_FALSE(fresh.config().keyHintsOn());
    EXPECT_FALSE(fresh.config().soundOn());

    // It closes by the band, by a key (which types nothing) and by a click beside it.
    SidebarApplication::click(sidebar.clickListenerView);
    s.settle();
    EXPECT_FALSE(screen.isSidebarOpened) << "by the band";
    EXPECT_EQ(panel->superview(), nullptr);
    s.open();
    ASSERT_TRUE(screen.isSidebarOpened);
    const std::string line = s.app.line();
    s.app.typeExpected();
    s.settle();
    EXPECT_FALSE(screen.isSidebarOpened) << "by a key";
    EXPECT_EQ(s.app.hub().textLine().cursorPos(), 0);
    s.open();
    SidebarApplication::click(screen.view(), QPoint(200, 300));
    s.settle();
    EXPECT_FALSE(screen.isSidebarOpened) << "by a click beside it";
    EXPECT_EQ(s.app.line(), line);

    // The line on that layout, typed by scan codes, has capitals and digits.
    bool capital = false, digit = false;
    for (const std::string& c : text::characters(line)) {
        capital = capital || (c != text::lower(c));
        digit = digit || (c.size() == 1 && c[0] >= '0' && c[0] <= '9');
    }
    EXPECT_TRUE(capital) << line;
    EXPECT_TRUE(digit) << line;
    for (int guard = 0; !s.app.hub().textLine().isComplete() && guard < 400; ++guard)
        ASSERT_TRUE(s.app.typeExpected()) << "at " << s.app.hub().textLine().cursorPos();
    EXPECT_EQ(screen.indicatorTypos->stringValue(), "0");
}

}  // namespace
}  // namespace wv
