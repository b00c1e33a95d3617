// The statistics screen of the running application on the offscreen platform, over 100,000
// records of one language and layout (and 20,000 of another language): the statistics button
// to the first painted frame with the data (target under 120 ms), a tab tap to its repaint
// (under 60 ms), a hover move to the repainted columns and pop-over (under 3 ms median, 8 ms
// at the 99th percentile) and a wheel step (under 4 ms). Animations run on a manual clock, so
// the times are the work, not the animations' own durations.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <QMouseEvent>
#include <QWheelEvent>
#include <algorithm>
#include <chrono>
#include <memory>

#include "app/WVMainViewController.h"
#include "app/WVWindowController.h"
#include "app/WovanuApplication.h"
#include "engine/LessonStats.h"
#include "platform/dispatch/ManualRunLoop.h"
#include "platform/foundation/Log.h"
#include "platform/plist/UserDefaults.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Window.h"
#include "screens/statistics/StatisticsScreen.h"
#include "screens/statistics/WVDiagrammView.h"
#include "screens/statistics/WVStatisticsController.h"
#include "screens/statistics/WVSwitcher.h"
#include "storage/FS.h"

namespace wv {
namespace {

using screens::WVStatisticsController;
using screens::WVSwitcher;

void storeHistory() {
    LessonStats stats(FS::appSupportURL() / "statistics.db", 4);
    stats.db().connection().executeUpdate("BEGIN");
    for (int i = 0; i < 120'000; ++i) {
        const bool english = i < 100'000;
        const int typos = (i * 13) % 7 < 3 ? 0 : (i * 13) % 7;
        stats.addLesson({{"timestamp", std::string("2026-01-01 10:00:00")},
                         {"time", 30.0},
                         {"speed", int64_t(60 + (i * 37) % 300)},
                         {"mistakes", int64_t(typos)},
                         {"mistakesChars", std::string()},
                         {"langId", int64_t(english ? 0 : 2)},
                         {"diffLvl", int64_t((i * 11) % 7)},
                         {"diffAuto", int64_t(1)},
                         {"accuracy", int64_t(100 - typos)},
                         {"hasDelete", int64_t(0)},
                         {"hasNumbers", int64_t(i % 6 == 0)},
                         {"hasCapitals", int64_t(i % 5 == 0)},
                         {"hasPunctuation", int64_t(i % 9 == 0)},
                         {"layoutIdx", int64_t(0)}},
                        false);
    }
    stats.db().connection().executeUpdate("COMMIT");
}

struct Running {
    Running() {
        char pattern[] = "/tmp/wv-stats-bench-XXXXXX";
        setenv("XDG_DATA_HOME", mkdtemp(pattern), 1);
        storeHistory();
        screens::StatisticsScreen::registerAll();
        // No first-launch help: it would run modally.
        UserDefaults::standard().setObject("helpOnFirstLaunchShown", plist::Value(true));
        application.launch();
        Window& window = *application.windowController().window();
        const double menuBar =
            window.frame().height() - application.mainViewController().view()->frame().height();
        window.setContentSize(Size{1100, 620 + menuBar});
        QCoreApplication::processEvents();
        loop.advance(1.0);
    }
    WVMainViewController& typing() { return application.mainViewController(); }
    WVStatisticsController& screen() {
        return static_cast<WVStatisticsController&>(typing().statisticsController());
    }
    void open() {
        typing().showStatistics();
        loop.advance(0.3);  // into the second phase: the screen is coming into view
        QCoreApplication::processEvents();
    }
    void openFully() {
        open();
        loop.advance(0.5);
        QCoreApplication::processEvents();
    }
    void close() {
        screen().closePressed();
        loop.advance(0.6);
        QCoreApplication::processEvents();
    }

    LogCapture quiet;
    ManualRunLoop loop;
    WovanuApplication application;
};

std::unique_ptr<Running> running;
Running& app() {
    if (!running) running = std::make_unique<Running>();
    return *running;
}

void BM_StatisticsButtonToFirstPaintedFrame(benchmark::State& state) {
    Running& r = app();
    for (auto _ : state) {
        r.open();
        state.PauseTiming();
        r.close();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StatisticsButtonToFirstPaintedFrame)->Unit(benchmark::kMillisecond)->Iterations(10);

void tap(WVSwitcher* switcher, int segment) {
    SegmentedControl* control = switcher->segmentedControl;
    const double w = control->frame().width() / control->segmentCount();
    const QPointF at(w * segment + w / 2, control->frame().height() / 2);
    QMouseEvent press(QEvent::MouseButtonPress, at, control->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(control, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, control->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(control, &release);
    QCoreApplication::processEvents();
}

void BM_TabTapToRepaint(benchmark::State& state) {
    Running& r = app();
    r.openFully();
    int segment = 0;
    for (auto _ : state) {
        segment = 1 - segment;  // the two languages in turn
        tap(r.screen().languageSwitcher, segment);
    }
    r.close();
}
BENCHMARK(BM_TabTapToRepaint)->Unit(benchmark::kMillisecond)->Iterations(20);

// Per-move times, reported as the median and the 99th percentile.
void BM_HoverMoveToRepaint(benchmark::State& state) {
    Running& r = app();
    r.openFully();
    screens::WVDiagrammView* diagram = r.screen().diagrammView;
    const double right = diagram->frame().width();
    std::vector<double> times;
    int step = 0;
    for (auto _ : state) {
        const QPointF at(right - 5 - 11 * (step++ % 60), diagram->frame().height() - 32);
        const auto start = std::chrono::steady_clock::now();
        QMouseEvent move(QEvent::MouseMove, at, diagram->mapToGlobal(at), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(diagram, &move);
        QCoreApplication::processEvents();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(times.begin(), times.end());
    state.counters["median_ms"] = times[times.size() / 2];
    state.counters["p99_ms"] = times[std::min(times.size() - 1, times.size() * 99 / 100)];
    r.close();
}
BENCHMARK(BM_HoverMoveToRepaint)->Unit(benchmark::kMillisecond)->Iterations(600);

void BM_WheelStep(benchmark::State& state) {
    Running& r = app();
    r.openFully();
    screens::WVDiagrammView* diagram = r.screen().diagrammView;
    int step = 0;
    for (auto _ : state) {
        const double x = r.screen().scrollView->documentVisibleRect().x() + 300;
        const QPointF at(x, diagram->frame().height() / 2);
        QWheelEvent wheel(at, diagram->mapToGlobal(at), QPoint(),
                          QPoint(0, (step++ % 40 < 20) ? 120 : -120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(diagram, &wheel);
        QCoreApplication::processEvents();
    }
    r.close();
}
BENCHMARK(BM_WheelStep)->Unit(benchmark::kMillisecond)->Iterations(1000);

}  // namespace

void endRunning() { running.reset(); }

}  // namespace wv

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qtApplication(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    wv::endRunning();
    return 0;
}
