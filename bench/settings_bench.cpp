// The settings sidebar in the whole application at 1100 x 620 on the offscreen platform, on a
// manual clock so animations take no waiting: the CPU time of opening the sidebar with the
// settings button to its painted frame (target: under 20 ms), of a click on numbers to the
// typing screen's new line painted (under 15 ms median), of a learning-language change with
// the controls refilled, the windows re-localised and a new line (under 60 ms), and of the
// mode switcher's setTitles (under 0.5 ms).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <QMouseEvent>
#include <memory>

#include "app/WVMainViewController.h"
#include "app/WVWindowController.h"
#include "app/WovanuApplication.h"
#include "engine/Model.h"
#include "platform/dispatch/ManualRunLoop.h"
#include "platform/foundation/Log.h"
#include "platform/plist/UserDefaults.h"
#include "platform/ui/Button.h"
#include "platform/ui/PopUpButton.h"
#include "platform/ui/Window.h"
#include "screens/controls/WVModeSwitcher.h"
#include "screens/controls/WVSwitchButton.h"
#include "screens/settings/WVSettingsSidebarController.h"

namespace wv {
namespace {

void click(QWidget* widget) {
    const QPointF at(widget->width() / 2.0, widget->height() / 2.0);
    for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, at, widget->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(widget, &event);
    }
}

struct Running {
    Running() {
        char pattern[] = "/tmp/wv-settings-bench-XXXXXX";
        setenv("XDG_DATA_HOME", mkdtemp(pattern), 1);
        screens::registerSettingsSidebar();
        // No first-launch help: its modal window would wait for a person.
        UserDefaults::standard().setObject("helpOnFirstLaunchShown", plist::Value(true));
        application.launch();
        Window& window = *application.windowController().window();
        const double menuBar =
            window.frame().height() - application.mainViewController().view()->frame().height();
        window.setContentSize(Size{1100, 620 + menuBar});
        settle();
    }
    // Runs every animation step and completion that is due, then paints.
    void settle() {
        loop.advance(2.0);
        QCoreApplication::processEvents();
    }
    WVMainViewController& screen() { return application.mainViewController(); }
    screens::WVSettingsSidebarController& sidebar() {
        return static_cast<screens::WVSettingsSidebarController&>(screen().settingsController());
    }
    void open() {
        click(screen().settingsButton);
        settle();
    }
    void close() {
        sidebar().dismissController();
        settle();
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

void BM_SettingsButtonToSidebarFrame(benchmark::State& state) {
    Running& r = app();
    for (auto _ : state) {
        r.open();
        state.PauseTiming();
        r.close();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SettingsButtonToSidebarFrame)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

void BM_NumbersClickToNewLine(benchmark::State& state) {
    Running& r = app();
    r.open();
    for (auto _ : state) {
        click(r.sidebar().numbersButton);
        QCoreApplication::processEvents();
    }
    r.close();
}
BENCHMARK(BM_NumbersClickToNewLine)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

void BM_LearningLanguageChange(benchmark::State& state) {
    Running& r = app();
    r.open();
    bool german = true;
    for (auto _ : state) {
        PopUpButton& popup = *r.sidebar().languagePopup;
        popup.selectItemWithTitle(german ? "DE" : "EN");  // what picking it in the menu does
        popup.sendAction();
        QCoreApplication::processEvents();
        german = !german;
    }
    r.close();
}
BENCHMARK(BM_LearningLanguageChange)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

void BM_ModeSwitcherSetTitles(benchmark::State& state) {
    app();
    WVModeSwitcher switcher(Rect(0, 0, 280, 26));
    TextAttributes white;
    white.foreground = Color::white();
    switcher.deselectedTextAttr = white;
    switcher.selectedTextAttr = white;
    for (auto _ : state) switcher.setTitles({"Automatisch", "Manuell"});
}
BENCHMARK(BM_ModeSwitcherSetTitles)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

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
