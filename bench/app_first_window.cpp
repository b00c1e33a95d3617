// A program start as the application makes it, up to the first painted main window, on the
// offscreen platform. The cold-start benchmark runs it as a child process. Exits 0 once the
// window is painted, 2 when the statistics do not hold the number of records given as the
// argument, 3 when nothing was painted. The reporting SDK starts as in the program, with no
// endpoint named.
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/Analytics.h"
#include "app/WVWindowController.h"
#include "app/WovanuApplication.h"
#include "engine/Model.h"
#include "platform/ui/MainLoop.h"
#include "app/sdk/ReportingSdk.h"
#include "platform/ui/Window.h"
#include "platform/ui/FontConfiguration.h"

namespace {
// Notes the first paint event of any widget.
class PaintWatch : public QObject {
  public:
    bool painted = false;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted = true;
        return false;
    }
};
}  // namespace

int main(int argc, char** argv) {
    wv::startReadingFontConfiguration();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qtApplication(argc, argv);
    wv::MainLoop::install();
    wv::Analytics::setSdk(std::make_shared<wv::ReportingSdk>());
    PaintWatch watch;
    qtApplication.installEventFilter(&watch);
    wv::WovanuApplication application;
    application.launch();
    // The platform reports a shown window exposed through the event queue, and Qt paints
    // nothing into a window that is not: a repaint straight after the launch draws nothing.
    QWidget* window = application.windowController().window()->widget();
    for (int i = 0; i < 100 && !watch.painted; ++i) {
        QCoreApplication::processEvents();
        if (!watch.painted && window->windowHandle() && window->windowHandle()->isExposed())
            window->repaint();
    }
    int code = wv::model().textLine().text().empty() ? 1 : 0;
    if (!watch.painted) code = 3;
    if (argc > 1 && wv::model().stats().lessonsList().size() != std::strtoul(argv[1], nullptr, 10))
        code = 2;
    // As the program leaves: the SDK's threads outlive main, so no static destructors.
    std::fflush(nullptr);
    _exit(code);
}
