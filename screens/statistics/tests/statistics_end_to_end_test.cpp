// The statistics screen in the real application on the offscreen platform, over 5,000 records
// stored through the statistics store in three languages. Every figure the screen shows is
// checked against what the sqlite3 tool computes from the same "statistics.db".
#include <gtest/gtest.h>

#include <QTest>
#include <QWheelEvent>
#include <array>
#include <cstdio>
#include <sstream>

#include "app/tests/RunningApplication.h"
#include "engine/LessonStats.h"
#include "platform/ui/SegmentedControl.h"
#include "screens/statistics/WVDiagrammView.h"
#include "screens/statistics/WVLessonAverageView.h"
#include "screens/statistics/WVLessonAverageViewController.h"
#include "screens/statistics/WVLessonDetailsViewController.h"
#include "screens/statistics/WVStatisticsController.h"
#include "screens/statistics/WVStatisticsView.h"
#include "screens/statistics/WVSwitcher.h"
#include "screens/statistics/tests/StatisticsTestSupport.h"
#include "storage/FS.h"
#include "storage/Local.h"

namespace wv::screens {
namespace {

constexpr int kRecords = 5000;

std::filesystem::path databasePath() { return FS::appSupportURL() / "statistics.db"; }

// One record of a made-up history: English (some rows without a layout), Russian, German.
RowDictionary row(int i) {
    const int lang = i % 10 < 5 ? 0 : i % 10 < 8 ? 2 : 3;
    sqlite::Value layout = nullptr;
    if (lang == 0 && i % 7 != 0) layout = int64_t(i % 7 <= 3 ? 0 : i % 7 <= 5 ? 1 : 2);
    if (lang == 2) layout = int64_t(i % 3 == 0 ? 0 : 2);
    if (lang == 3) layout = int64_t(i % 4 == 0 ? 1 : 0);
    const int typos = (i * 13) % 7 < 3 ? 0 : (i * 13) % 7;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "2026-01-%02d %02d:%02d:00", 1 + i / 1440, (i / 60) % 24,
                  i % 60);
    return {{"timestamp", std::string(stamp)},       {"time", 30.0},
            {"speed", int64_t(60 + (i * 37) % 300)}, {"mistakes", int64_t(typos)},
            {"mistakesChars", std::string()},        {"langId", int64_t(lang)},
            {"diffLvl", int64_t((i * 11) % 7)},      {"diffAuto", int64_t(1)},
            {"accuracy", int64_t(100 - typos)},      {"hasDelete", int64_t(0)},
            {"hasNumbers", int64_t(i % 6 == 0)},     {"hasCapitals", int64_t(i % 5 == 0)},
            {"hasPunctuation", int64_t(i % 9 == 0)}, {"layoutIdx", layout}};
}

// Stores the history before the application starts, in one transaction.
struct StoredHistory {
    StoredHistory() {
        LessonStats stats(databasePath(), 4);
        stats.db().connection().executeUpdate("BEGIN");
        for (int i = 0; i < kRecords; ++i) stats.addLesson(row(i), false);
        stats.db().connection().executeUpdate("COMMIT");
    }
};

std::string sqlite(const std::string& sql) {
    const std::string command =
        "sqlite3 -readonly '" + databasePath().string() + "' \"" + sql + "\"";
    FILE* pipe = popen(command.c_str(), "r");
    EXPECT_NE(pipe, nullptr) << command;
    if (!pipe) return {};
    std::string out;
    std::array<char, 4096> buffer{};
    while (size_t n = fread(buffer.data(), 1, buffer.size(), pipe)) out.append(buffer.data(), n);
    EXPECT_EQ(pclose(pipe), 0) << command;
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

std::vector<int> numbers(const std::string& lines) {
    std::vector<int> list;
    std::istringstream in(lines);
    for (std::string line; std::getline(in, line);) list.push_back(std::stoi(line));
    return list;
}

class StatisticsEndToEnd : public ::testing::Test {
  protected:
    StatisticsEndToEnd() { test::statisticsApplication(); }

    WVStatisticsController& screen() {
        return static_cast<WVStatisticsController&>(app.screen().statisticsController());
    }
    void click(QWidget* widget, QPoint at) {
        QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, at);
        QCoreApplication::processEvents();
    }
    void click(View* view) {
        click(view, QPoint(int(view->frame().width() / 2), int(view->frame().height() / 2)));
    }
    void tapSegment(WVSwitcher* switcher, int segment) {
        SegmentedControl* control = switcher->segmentedControl;
        const double w = control->frame().width() / control->segmentCount();
        click(control, QPoint(int(w * segment + w / 2), int(control->frame().height() / 2)));
    }
    std::vector<std::string> titles(WVSwitcher* switcher) {
        std::vector<std::string> list;
        for (int i = 0; i < switcher->segmentedControl->segmentCount(); ++i)
            list.push_back(switcher->segmentedControl->labelForSegment(i));
        return list;
    }
    void openStatistics() {
        click(app.screen().statisticsButton);
        app.loop.advance(0.6);
        ASSERT_TRUE(app.screen().isStatsOpened);
    }

    void checkChart(int lang, int layout) {
        const std::string where = " FROM sessions WHERE langId=" + std::to_string(lang) +
                                  " AND COALESCE(layoutIdx,0)=" + std::to_string(layout);
        const int count = std::stoi(sqlite("SELECT COUNT(*)" + where));
        const int fastest = std::stoi(sqlite("SELECT MAX(speed)" + where));
        const int typos = std::stoi(sqlite("SELECT MAX(mistakes)" + where));
        auto& frame = static_cast<WVStatisticsView&>(*screen().statisticsView);
        const int top = fastest - fastest % 50 + 50;
        EXPECT_EQ(frame.maxSpeedTitleValue, top) << lang << "/" << layout;
        EXPECT_EQ(frame.midSpeedTitleValue, top / 2);
        ASSERT_EQ(int(screen().diagrammView->lessons->size()), count);
        EXPECT_EQ(screen().diagrammView->maxTyposCount, typos);

        const auto rows = screen().lessonGeneralViewController->rows();
        ASSERT_EQ(rows.size(), 10u);
        const std::string groups[] = {
            "diffLvl=0", "diffLvl=1", "diffLvl=2",    "diffLvl=3",     "diffLvl=4",
            "diffLvl=5", "diffLvl=6", "hasNumbers=1", "hasCapitals=1", "hasPunctuation=1"};
        const int learning = int(app.hub().langRoot().getLang(Language(lang)).difficulty());
        for (int idx = 0; idx < 10; ++idx) {
            const std::string best = sqlite("SELECT COALESCE(MAX(speed),0)" + where +
                                            " AND mistakes=0 AND " + groups[idx]);
            const std::string shown = rows[size_t(idx)]->score->stringValue();
            EXPECT_EQ(shown, idx == learning ? Local::shared().localize("statsLearning") : best)
                << lang << "/" << layout << " group " << idx;
        }

        // The pointer on the newest record's bar, at the right edge: the pop-over shows it.
        WVDiagrammView* diagram = screen().diagrammView;
        const double x = diagram->frame().width() - 5;
        const double y = 32;
        // From over the tab just tapped, as a hand would come.
        QTest::mouseMove(screen().layoutSwitcher->segmentedControl, QPoint(5, 5));
        QTest::mouseMove(diagram, QPoint(int(x), int(diagram->frame().height() - y)));
        QCoreApplication::processEvents();
        const std::string newest = sqlite("SELECT speed || ' ' || mistakes || ' ' || accuracy" +
                                          where + " ORDER BY id DESC LIMIT 1");
        auto& details = *screen().lessonDetailsViewController();
        ASSERT_TRUE(diagram->isPopoverShown) << lang << "/" << layout;
        EXPECT_EQ(details.view()->superview(), app.window().contentView());
        EXPECT_EQ(details.speedLabel->stringValue() + " " + details.typosLabel->stringValue() +
                      " " + details.accuracyLabel->stringValue(),
                  newest + "%");
    }

    // The screen's scenes are registered before the application makes its controller.
    struct Registered {
        Registered() { test::statisticsApplication(); }
    } registered;
    StoredHistory history;
    test::RunningApplication app;
};

TEST_F(StatisticsEndToEnd, EveryTabHoverScrollAndBothWaysToClose) {
    openStatistics();
    ASSERT_EQ(app.sdk->list().size() > 0, true);
    const auto& event = app.sdk->list().back();
    EXPECT_EQ(event.kind, RecordingAnalyticsEvents::Kind::ContentView);
    EXPECT_EQ(event.name, "Statistics");
    EXPECT_EQ(event.attributes, (EventAttributes{{"lang", "en"}}));

    const std::vector<int> languages =
        numbers(sqlite("SELECT DISTINCT langId FROM sessions ORDER BY langId"));
    ASSERT_EQ(languages, (std::vector<int>{0, 2, 3}));
    std::vector<std::string> expected;
    for (int lang : languages)
        expected.push_back(WVStatisticsController::statsLanguageName(Language(lang)));
    EXPECT_EQ(titles(screen().languageSwitcher), expected);

    for (size_t l = 0; l < languages.size(); ++l) {
        tapSegment(screen().languageSwitcher, int(l));
        const int lang = languages[l];
        const auto names = app.hub().langRoot().getLang(Language(lang)).keys().layoutNames();
        std::vector<std::string> layoutTitles;
        std::vector<int> layouts;
        for (int layout :
             numbers(sqlite("SELECT DISTINCT COALESCE(layoutIdx,0) FROM sessions WHERE langId=" +
                            std::to_string(lang) + " ORDER BY 1"))) {
            layoutTitles.push_back(names[size_t(layout)]);
            layouts.push_back(layout);
        }
        ASSERT_EQ(titles(screen().layoutSwitcher), layoutTitles) << lang;
        for (size_t k = 0; k < layouts.size(); ++k) {
            tapSegment(screen().layoutSwitcher, int(k));
            EXPECT_EQ(screen().layoutSwitcher->segmentedControl->selectedSegment(), int(k));
            checkChart(lang, layouts[k]);
        }
    }

    // Wheel and drag, as the platform delivers them: sideways towards the older records.
    WVDiagrammView* diagram = screen().diagrammView;
    ScrollView* scroll = screen().scrollView;
    const double end = scroll->documentVisibleRect().x();
    ASSERT_GT(end, 100);
    const QPointF inside(end + scroll->frame().width() / 2, diagram->frame().height() / 2);
    QWheelEvent wheel(inside, diagram->mapToGlobal(inside), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(diagram, &wheel);
    EXPECT_EQ(scroll->documentVisibleRect().x(), end - 15);
    QPoint from(int(end + 200), int(diagram->frame().height() / 2));
    QTest::mousePress(diagram, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(diagram, from + QPoint(40, 0));
    QTest::mouseRelease(diagram, Qt::LeftButton, Qt::NoModifier, from + QPoint(40, 0));
    EXPECT_EQ(scroll->documentVisibleRect().x(), end - 15 - 40);

    // Closed by its button; opened again and closed by Escape; typing works again.
    click(screen().closeButton);
    app.loop.advance(0.6);
    EXPECT_FALSE(app.screen().isStatsOpened);
    EXPECT_EQ(screen().view()->superview(), nullptr);
    openStatistics();
    app.key(test::kScanEscape);
    app.loop.advance(0.6);
    EXPECT_FALSE(app.screen().isStatsOpened);
    EXPECT_TRUE(app.screen().presentedViewControllers().empty());
    EXPECT_FALSE(diagram->isPopoverShown ||
                 screen().lessonDetailsViewController()->view()->superview());
    app.typeExpected();
    EXPECT_EQ(app.hub().textLine().cursorPos(), 1);
}

}  // namespace
}  // namespace wv::screens
