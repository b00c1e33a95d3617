// A program start as the application makes it, up to the first painted main window, on the
// offscreen platform. The cold-start benchmark runs it as a child process. Exits 0 once the
// window is painted, 2 when the statistics do not hold the number of records given as the
// argument.
#include <QApplication>
#include <QMainWindow>
#include <cstdlib>

#include "app/WVWindowController.h"
#include "app/WovanuApplication.h"
#include "engine/Model.h"
#include "platform/ui/MainLoop.h"
#include "platform/ui/Window.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qtApplication(argc, argv);
    wv::MainLoop::install();
    wv::WovanuApplication application;
    application.launch();
    application.windowController().window()->widget()->repaint();
    if (argc > 1 && wv::model().stats().lessonsList().size() != std::strtoul(argv[1], nullptr, 10))
        return 2;
    return wv::model().textLine().text().empty() ? 1 : 0;
}
