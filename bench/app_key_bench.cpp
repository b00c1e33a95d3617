// One key press through the whole application at 1650 x 930 on the offscreen platform: from
// the Qt key event (with its native scan code) through the key monitor, the line and the
// indicators, to the repainted window (target: under 0.8 ms median, and no key press that
// repaints the whole on-screen keyboard: the counters give the paint events and painted pixels
// of the keyboard's keys per key press).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QPaintEvent>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <optional>

#include "app/WVKeyboardView.h"
#include "app/WVMainViewController.h"
#include "app/WVWindowController.h"
#include "app/WovanuApplication.h"
#include "engine/Model.h"
#include "languages/LangData.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/keys/ScanCodeMap.h"
#include "platform/ui/MainLoop.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

namespace wv {
namespace {

constexpr int kScanReturn = 36, kScanLeftShift = 50;

int scanCodeFor(int macCode) {
    for (int scan = 8; scan < 256; ++scan)
        if (ScanCodeMap::macKeyCode(scan) == macCode) return scan;
    return -1;
}

void send(QWidget* target, QEvent::Type type, int scan, Qt::KeyboardModifiers modifiers) {
    QKeyEvent event(type, Qt::Key_unknown, modifiers, quint32(scan), 0, 0);
    QCoreApplication::sendEvent(target, &event);
}

// The application with a fresh profile in a 1650 x 930 window.
struct Running {
    Running() {
        char pattern[] = "/tmp/wv-app-key-XXXXXX";
        setenv("XDG_DATA_HOME", mkdtemp(pattern), 1);
        application.launch();
        Window& window = *application.windowController().window();
        const double menuBar =
            window.frame().height() - application.mainViewController().view()->frame().height();
        window.setContentSize(Size{1650, 930 + menuBar});
        // The keyboard takes its new place once the resize has rested, through the main queue:
        // until then a stretched picture of it stands in, which no learner types on.
        QTimer::singleShot(1000, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
        // A first launch opens the help beside the typing screen; the learner closes it and
        // types into the typing screen's window.
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top != window.widget() && top->isVisible()) top->close();
        window.widget()->activateWindow();
        QCoreApplication::processEvents();
    }
    LogCapture quiet;
    WovanuApplication application;
};

// The region of the on-screen keyboard that paint events covered, in its own coordinates.
class KeyboardPaints : public QObject {
  public:
    explicit KeyboardPaints(QWidget* keyboard) : keyboard_(keyboard) {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~KeyboardPaints() override { QCoreApplication::instance()->removeEventFilter(this); }
    QRegion painted;
    int events = 0;

  protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() != QEvent::Paint || !object->isWidgetType()) return false;
        auto* widget = static_cast<QWidget*>(object);
        if (widget != keyboard_ && !keyboard_->isAncestorOf(widget)) return false;
        ++events;
        painted += static_cast<QPaintEvent*>(event)->region().translated(
            widget->mapTo(keyboard_, QPoint(0, 0)));
        return false;
    }

  private:
    QWidget* keyboard_;
};

double area(const QRegion& region) {
    double sum = 0;
    for (const QRect& r : region) sum += double(r.width()) * r.height();
    return sum;
}

// Made by the first run; ended by main while the QApplication still exists.
std::unique_ptr<Running> running;

void BM_KeyPressToRepaintedScreen(benchmark::State& state) {
    if (!running) running = std::make_unique<Running>();
    QWidget* target = running->application.mainViewController().view();
    QWidget* keyboard = running->application.mainViewController().keyboard;
    const double keyboardArea = double(keyboard->width()) * keyboard->height();
    double largestShare = 0, largestMidLineShare = 0, keyPaints = 0, presses = 0;
    for (auto _ : state) {
        state.PauseTiming();
        WVTextLine& line = model().textLine();
        // A second Return when the first showed the tip of a new lesson.
        for (int i = 0; i < 2 && line.isComplete(); ++i) {
            send(target, QEvent::KeyPress, kScanReturn, Qt::NoModifier);
            send(target, QEvent::KeyRelease, kScanReturn, Qt::NoModifier);
            QCoreApplication::processEvents();
        }
        const LangData& language = model().langRoot().getLang(model().config().language());
        const std::string next = *line.expectedCharacter(true);
        const int code = *language.keys().keyCodeForSymbol(text::lower(next));
        const bool shift = language.keys().symbolForKeyCode(code, false, false, false) != next;
        const int scan =
            scanCodeFor(ScanCodeMap::forLayout(code, language.keys().layoutData().isIsoTable()));
        const Qt::KeyboardModifiers modifiers = shift ? Qt::ShiftModifier : Qt::NoModifier;
        if (shift) send(target, QEvent::KeyPress, kScanLeftShift, Qt::ShiftModifier);
        state.ResumeTiming();

        std::optional<KeyboardPaints> paints(std::in_place, keyboard);
        send(target, QEvent::KeyPress, scan, modifiers);
        QCoreApplication::processEvents();  // paints what the key changed

        state.PauseTiming();
        const double share = area(paints->painted & keyboard->rect()) / keyboardArea;
        largestShare = std::max(largestShare, share);
        // The key that ends a line hides the hands and shows the typo heat map on every key.
        if (!line.isComplete()) largestMidLineShare = std::max(largestMidLineShare, share);
        keyPaints += paints->events;
        ++presses;
        paints.reset();
        send(target, QEvent::KeyRelease, scan, modifiers);
        if (shift) send(target, QEvent::KeyRelease, kScanLeftShift, Qt::NoModifier);
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    // The largest part of the keyboard one key press repainted (any key, and keys before the
    // end of a line), and its paint events per press.
    state.counters["keyboard_max_share"] = largestShare;
    state.counters["keyboard_max_share_mid_line"] = largestMidLineShare;
    state.counters["keyboard_paints"] = presses > 0 ? keyPaints / presses : 0;
}
BENCHMARK(BM_KeyPressToRepaintedScreen)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

}  // namespace

void endRunning() { running.reset(); }

}  // namespace wv

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qtApplication(argc, argv);
    wv::MainLoop::install();  // as the application runs it: the pulse and delayed work run too
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    wv::endRunning();
    return 0;
}
