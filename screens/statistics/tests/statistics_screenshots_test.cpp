// Pictures of the statistics screen at the reference size and at one and a half times it:
// English records, the pop-over over a record with all three options, a language without
// records, and the Russian interface. They go to screenshots/ under the test's working folder;
// the checks keep the parts inside the screen and apart.
#include <gtest/gtest.h>

#include <QDir>
#include <QTest>

#include "app/tests/RunningApplication.h"
#include "engine/LessonStats.h"
#include "screens/statistics/WVDiagrammView.h"
#include "screens/statistics/WVLessonDetailsViewController.h"
#include "screens/statistics/WVStatisticsController.h"
#include "screens/statistics/WVSwitcher.h"
#include "screens/statistics/tests/StatisticsTestSupport.h"
#include "storage/Config.h"
#include "storage/FS.h"
#include "storage/Local.h"

namespace wv::screens {
namespace {

// 400 English records of a learner getting faster, the newest typed with every option.
struct History {
    History() {
        LessonStats stats(FS::appSupportURL() / "statistics.db", 4);
        stats.db().connection().executeUpdate("BEGIN");
        for (int i = 0; i < 400; ++i) {
            const int typos = (i * 7) % 5 == 0 ? 0 : (i * 7) % 5;
            char stamp[32];
            std::snprintf(stamp, sizeof stamp, "2026-02-%02d %02d:%02d:00", 1 + i / 24, i % 24,
                          i % 60);
            const bool last = i == 399;
            stats.addLesson({{"timestamp", std::string(stamp)},
                             {"time", 40.0},
                             {"speed", int64_t(90 + i / 3 + (i * 31) % 60)},
                             {"mistakes", int64_t(typos)},
                             {"mistakesChars", std::string()},
                             {"langId", int64_t(0)},
                             {"diffLvl", int64_t(std::min(6, i / 60))},
                             {"diffAuto", int64_t(1)},
                             {"accuracy", int64_t(100 - 2 * typos)},
                             {"hasDelete", int64_t(0)},
                             {"hasNumbers", int64_t(last || i % 11 == 0)},
                             {"hasCapitals", int64_t(last || i % 13 == 0)},
                             {"hasPunctuation", int64_t(last || i % 17 == 0)},
                             {"layoutIdx", int64_t(i % 5 == 2 ? 1 : 0)}},
                            false);
        }
        stats.db().connection().executeUpdate("COMMIT");
    }
};

bool inside(const Rect& inner, const Rect& outer) {
    return inner.minX() >= outer.minX() - 0.5 && inner.maxX() <= outer.maxX() + 0.5 &&
           inner.minY() >= outer.minY() - 0.5 && inner.maxY() <= outer.maxY() + 0.5;
}

bool intersects(const Rect& a, const Rect& b) {
    return a.minX() < b.maxX() && b.minX() < a.maxX() && a.minY() < b.maxY() && b.minY() < a.maxY();
}

class StatisticsPictures : public ::testing::TestWithParam<Size> {
  protected:
    StatisticsPictures() { test::statisticsApplication(); }

    WVStatisticsController& screen() {
        return static_cast<WVStatisticsController&>(app.screen().statisticsController());
    }
    void resize(Size size) {
        const double menuBar =
            app.window().frame().height() - app.screen().view()->frame().height();
        app.window().setContentSize(Size{size.width, size.height + menuBar});
        QCoreApplication::processEvents();
        app.loop.advance(0.5);
        ASSERT_EQ(app.screen().view()->frame().size, size);
    }
    void open() {
        app.screen().showStatistics();
        app.loop.advance(0.6);
        QCoreApplication::processEvents();
    }
    void close() {
        screen().closePressed();
        app.loop.advance(0.6);
    }
    void save(const std::string& name) {
        QDir().mkpath("screenshots");
        const QImage picture = app.screen().view()->snapshot(1.0);
        const std::string file =
            "screenshots/statistics_" + name + "_" + std::to_string(int(GetParam().width)) + ".png";
        EXPECT_TRUE(picture.save(QString::fromStdString(file)));
    }
    void checkLayout() {
        WVStatisticsController& s = screen();
        const Rect all = s.view()->bounds();
        EXPECT_EQ(s.view()->frame(), app.screen().view()->bounds()) << "covers the typing screen";
        for (View* part : {(View*)s.statsTitle, (View*)s.languageSwitcher, (View*)s.layoutSwitcher,
                           s.statisticsView, s.lessonsTray, (View*)s.closeButton})
            EXPECT_TRUE(inside(part->frame(), all));
        EXPECT_FALSE(intersects(s.statisticsView->frame(), s.lessonsTray->frame()));
        EXPECT_FALSE(intersects(s.layoutSwitcher->frame(), s.statisticsView->frame()));
        EXPECT_FALSE(intersects(s.languageSwitcher->frame(), s.layoutSwitcher->frame()));
        EXPECT_NEAR(s.lessonsTray->frame().midX(), all.midX(), 0.5);
    }

    // The screen's scenes are registered before the application makes its controller.
    struct Registered {
        Registered() { test::statisticsApplication(); }
    } registered;
    History history;
    test::RunningApplication app;
};

TEST_P(StatisticsPictures, EnglishPopoverEmptyLanguageAndRussian) {
    resize(GetParam());
    open();
    checkLayout();
    save("english");

    WVDiagrammView* diagram = screen().diagrammView;
    const Point onNewest{diagram->frame().width() - 5, 40};
    MouseEvent move;
    move.locationInWindow = diagram->convertPointToWindow(onNewest);
    diagram->mouseMoved(move);
    app.loop.advance(0.5);
    QCoreApplication::processEvents();
    auto& details = *screen().lessonDetailsViewController();
    ASSERT_TRUE(diagram->isPopoverShown);
    EXPECT_EQ(details.optionTexts().size(), 3u);
    EXPECT_TRUE(inside(details.view()->frame(), app.screen().view()->bounds()));
    save("popover");
    close();

    app.hub().config().setLanguage(Language::fr);
    open();
    EXPECT_TRUE(screen().diagrammView->lessons->empty());
    save("no_records");
    close();

    app.hub().config().setLanguage(Language::en);
    Local::shared().setInterfaceLanguage("ru");
    open();
    EXPECT_EQ(screen().statsTitle->stringValue(), Local::shared().localize("statsTitle"));
    checkLayout();
    save("russian");
}

INSTANTIATE_TEST_SUITE_P(Sizes, StatisticsPictures,
                         ::testing::Values(Size{1100, 620}, Size{1650, 930}),
                         [](const auto& info) { return std::to_string(int(info.param.width)); });

}  // namespace
}  // namespace wv::screens
