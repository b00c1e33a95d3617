// A change of the learning language re-localises every window: the sidebar's captions change
// language with it only when the interface follows the learning language.
#include <gtest/gtest.h>

#include "platform/ui/TextField.h"
#include "screens/controls/WVModeSwitcher.h"
#include "screens/settings/tests/SidebarTestSupport.h"

namespace wv {
namespace {

using test::SidebarApplication;

struct FollowCase {
    const char* name;
    bool interfaceFollows;
    const char* capitals;
    const char* typos;
    const char* automatic;
};

class Relocalise : public ::testing::TestWithParam<FollowCase> {};

TEST_P(Relocalise, ALanguageChangeReachesEveryWindow) {
    const FollowCase& c = GetParam();
    SidebarApplication s;
    s.app.hub().config().setSameLangOfUIAndTyping(c.interfaceFollows);
    s.open();
    auto& sidebar = s.sidebar();
    ASSERT_EQ(sidebar.sidebarCapitals->stringValue(), "Capital letters");
    int relocalised = 0;
    auto token = NotificationCenter::defaultCenter().addObserver(
        std::string(kCurrentLocaleDidChangeNotification), nullptr,
        [&](const Notification&) { ++relocalised; });
    s.pick(sidebar.languagePopup, "DE");
    NotificationCenter::defaultCenter().removeObserver(token);
    EXPECT_EQ(relocalised, 1);
    EXPECT_EQ(sidebar.sidebarCapitals->stringValue(), c.capitals);
    ASSERT_EQ(sidebar.modeSwitcher->titleLabels.size(), 2u);
    EXPECT_EQ(sidebar.modeSwitcher->titleLabels[0].string(), c.automatic);
    EXPECT_EQ(s.app.screen().indicatorTyposTitle->stringValue(), c.typos);
    EXPECT_EQ(sidebar.layoutPopup->titleOfSelectedItem(), "QWERTZ");
}

INSTANTIATE_TEST_SUITE_P(Interface, Relocalise,
                         ::testing::Values(FollowCase{"follows", true,
                                                      "Gro\xC3\x9F"
                                                      "buchstaben",
                                                      "Tippfehler", "Automatisch"},
                                           FollowCase{"stays", false, "Capital letters", "Typos",
                                                      "Automatic"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace wv
