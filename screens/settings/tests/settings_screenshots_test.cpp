// Pictures of the typing screen with the sidebar open, to look at: automatic and manual mode,
// English and German interface, at 1100 x 620.
#include <gtest/gtest.h>

#include <QDir>

#include "platform/ui/Window.h"
#include "screens/settings/tests/SidebarTestSupport.h"
#include "storage/Local.h"

namespace wv {
namespace {

using test::SidebarApplication;

struct ShotCase {
    const char* name;
    const char* interface;
    bool automatic;
};

class SettingsScreenshots : public ::testing::TestWithParam<ShotCase> {};

TEST_P(SettingsScreenshots, TheOpenSidebarOverTheTypingScreen) {
    const ShotCase& c = GetParam();
    SidebarApplication s;
    WVMainViewController& screen = s.app.screen();
    Local::shared().setInterfaceLanguage(c.interface);
    s.app.hub().config().setLanguage(std::string(c.interface) == "de" ? Language::de
                                                                      : Language::en);
    s.app.language().setDifficulty(2);
    s.app.language().setDifficultyAuto(c.automatic);
    screen.localizeCaptions();
    screen.view()->setFrameSize(Size{1100, 620});
    screen.applySettingsChange(true);
    s.open();
    const QImage image = screen.view()->snapshot(1.0);
    ASSERT_EQ(image.size(), QSize(1100, 620));
    const QString path = QDir::currentPath() + "/settings_" + c.name + ".png";
    ASSERT_TRUE(image.save(path)) << path.toStdString();
    // The sidebar covers the right-hand 320 points with its own, lighter fill.
    const QColor inside = image.pixelColor(1100 - 10, 610);
    const QColor outside = image.pixelColor(1100 - 330, 610);
    EXPECT_NE(inside, outside);
}

INSTANTIATE_TEST_SUITE_P(Pictures, SettingsScreenshots,
                         ::testing::Values(ShotCase{"automatic_en", "en", true},
                                           ShotCase{"manual_en", "en", false},
                                           ShotCase{"automatic_de", "de", true},
                                           ShotCase{"manual_de", "de", false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace wv
