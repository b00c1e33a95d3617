// The application left alone on the offscreen platform, on the real clock and the Qt event
// loop, for WV_IDLE_SECONDS (30 by default) after its first painted window: the processor time
// it takes (target: under 0.5 % of one core), how often its main thread wakes up, the
// animation frames and paint events, and its resident memory. Once with the pulsing next key,
// once with key hints off, when nothing on the screen moves (target: no frame, no paint).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <algorithm>
#include <fstream>
#include <memory>
#include <string>

#include "app/WovanuApplication.h"
#include "engine/Model.h"
#include "platform/foundation/Log.h"
#include "platform/ui/AnimationDriver.h"
#include "platform/ui/MainLoop.h"

namespace wv {
namespace {

class PaintCounter : public QObject {
  public:
    int paints = 0;

  protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::Paint && object->isWidgetType()) ++paints;
        return false;
    }
};

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long mainThreadSwitches() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nvcsw + usage.ru_nivcsw;
}

double residentMegabytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

double idleSeconds() {
    const char* value = getenv("WV_IDLE_SECONDS");
    return value ? std::atof(value) : 30.0;
}

// Lets the event loop run for `seconds` of real time; returns the times the main thread was
// switched out meanwhile for the application's sake. The loop's own exit timer ends one sleep
// of the thread, which is the benchmark's, not the application's: the switch that began that
// sleep is not counted (a loop that never slept has none to leave out).
long runEventLoop(double seconds) {
    const long before = mainThreadSwitches();
    long atExit = before;
    QTimer::singleShot(int(seconds * 1000), [&atExit] {
        atExit = mainThreadSwitches();
        QCoreApplication::exit(0);
    });
    QCoreApplication::exec();
    return std::max(0L, atExit - before - 1);
}

// The application with a fresh profile; made by the first run, ended by main while the
// QApplication still exists.
struct Running {
    Running() {
        char pattern[] = "/tmp/wv-app-idle-XXXXXX";
        setenv("XDG_DATA_HOME", mkdtemp(pattern), 1);
        application.launch();
    }
    LogCapture quiet;
    WovanuApplication application;
};
std::unique_ptr<Running> running;

void sitIdle(benchmark::State& state, bool keyHints) {
    if (!running) running = std::make_unique<Running>();
    model().config().setKeyHintsOn(keyHints);
    runEventLoop(1.0);  // the first paint and what start-up left to settle

    PaintCounter counter;
    QCoreApplication::instance()->installEventFilter(&counter);
    const double seconds = idleSeconds();
    for (auto _ : state) {
        const double cpu = cpuSeconds();
        const std::uint64_t frames = AnimationDriver::shared().frames();
        QElapsedTimer clock;
        clock.start();
        const long switches = runEventLoop(seconds);
        const double elapsed = double(clock.nsecsElapsed()) / 1e9;
        state.counters["cpu_percent"] = 100.0 * (cpuSeconds() - cpu) / elapsed;
        state.counters["wakeups_per_s"] = double(switches) / elapsed;
        state.counters["frames_per_s"] =
            double(AnimationDriver::shared().frames() - frames) / elapsed;
        state.counters["paints_per_s"] = counter.paints / elapsed;
        state.counters["rss_MB"] = residentMegabytes();
    }
    QCoreApplication::instance()->removeEventFilter(&counter);
}

void BM_IdleWithPulsingNextKey(benchmark::State& state) { sitIdle(state, true); }
BENCHMARK(BM_IdleWithPulsingNextKey)->Iterations(1)->Unit(benchmark::kSecond);

void BM_IdleWithNothingMoving(benchmark::State& state) { sitIdle(state, false); }
BENCHMARK(BM_IdleWithNothingMoving)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

void endRunning() { running.reset(); }

}  // namespace wv

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qtApplication(argc, argv);
    wv::MainLoop::install();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    wv::endRunning();
    return 0;
}
