// The application's calls as the SDK stores them, and the debug menu's self-tests.
#include "app/sdk/ReportingSdk.h"

#include <gtest/gtest.h>

#include "app/AppDelegate.h"
#include "platform/foundation/PlatformException.h"
#include "sdk/analytics/Plurio.h"
#include "sdk/analytics/tests/KitFixtures.h"

namespace wv {
namespace {

using json = nlohmann::json;

class ReportingSdkEvents : public ::testing::Test {
  protected:
    ReportingSdkEvents() : plurio_(run_.sdk(), run_.root()), shared_(plurio_) {
        Plurio::startWithBetaToken(std::nullopt);
    }
    // The events of the current log after the metadata and the launch.
    std::vector<testing::StoredLine> stored() {
        EXPECT_TRUE(Plurio::waitForPendingEvents(std::chrono::seconds(30)));
        auto lines = testing::readEventFile(plurio_.plurioController()->currentLogURL());
        EXPECT_GE(lines.size(), 2u);
        if (lines.size() >= 2) lines.erase(lines.begin(), lines.begin() + 2);
        return lines;
    }

    testing::KitRun run_;
    Plurio plurio_;
    Plurio::ScopedSharedInstance shared_;
    ReportingSdk sdk_;
};

// A line without typos reports success, one with typos none; the typed characters are the
// score.
TEST_F(ReportingSdkEvents, LevelEndsCarryScoreAndSuccessOnlyWhenGiven) {
    const EventAttributes attributes{{"lang", "de"}, {"layout", "QWERTZ"}, {"auto", "true"}};
    sdk_.logLevelEnd("lesson_2", 100, 1, attributes);
    sdk_.logLevelEnd("lesson_1", 37, std::nullopt, attributes);
    sdk_.logLevelEnd("lesson_7", std::nullopt, std::nullopt, {});
    const auto lines = stored();
    ASSERT_EQ(lines.size(), 3u);
    const json custom = {{"auto", "true"}, {"lang", "de"}, {"layout", "QWERTZ"}};
    const std::vector<json> expected = {
        {{"level_name", "lesson_2"}, {"score", 100}, {"success", "true"}},
        {{"level_name", "lesson_1"}, {"score", 37}},
        {{"level_name", "lesson_7"}}};
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].payload["predefined_type"], "level_end");
        EXPECT_EQ(lines[i].payload["predefined_attributes"], expected[i]) << i;
    }
    EXPECT_EQ(lines[0].payload["custom_attributes"], custom);
    EXPECT_EQ(lines[2].payload["custom_attributes"], json::object());
}

TEST_F(ReportingSdkEvents, StartsCustomEventsAndContentViewsKeepTheirNamesAndAttributes) {
    sdk_.logLevelStart("lesson_1", {{"lang", "en"}});
    sdk_.logCustomEvent("SessonStarted - en - QWERTY", {});
    sdk_.logCustomEvent("firstLaunch", {{"lang", "uk"}});
    sdk_.logContentView("statistics", std::nullopt, std::string("tab-2"), {{"lang", "fr"}});
    const auto lines = stored();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].payload["predefined_type"], "level_start");
    EXPECT_EQ(lines[0].payload["predefined_attributes"], (json{{"level_name", "lesson_1"}}));
    EXPECT_EQ(lines[0].payload["custom_attributes"], (json{{"lang", "en"}}));
    EXPECT_EQ(lines[1].name, "custom");
    EXPECT_EQ(lines[1].payload["custom_type"], "SessonStarted - en - QWERTY");
    EXPECT_EQ(lines[1].payload["custom_attributes"], json::object());
    EXPECT_EQ(lines[2].payload["custom_attributes"], (json{{"lang", "uk"}}));
    EXPECT_EQ(lines[3].payload["predefined_type"], "content_view");
    EXPECT_EQ(lines[3].payload["predefined_attributes"],
              (json{{"content_name", "statistics"}, {"content_id", "tab-2"}}));
    EXPECT_EQ(lines[3].payload["custom_attributes"], (json{{"lang", "fr"}}));
}

// Test Exception raises the crash kit's test exception (Test Crash, which kills the process,
// is followed end to end).
TEST(ReportingSdkSelfTests, TestExceptionRaisesTheCrashKitsTestException) {
    AppDelegate delegate;
    delegate.dbgTestException();  // nothing plugged in: nothing happens
    ReportingSdk::plugSelfTests(delegate);
    ASSERT_TRUE(delegate.crashKitCrash);
    try {
        delegate.dbgTestException();
        FAIL() << "no exception";
    } catch (const PlatformException& exception) {
        EXPECT_EQ(exception.name(), "QuellixTestException");
        EXPECT_EQ(exception.reason(), "This is an Objective-C exception using for testing.");
    }
}

}  // namespace
}  // namespace wv
