// A program start as the application makes it, up to the first painted main window, on the
// offscreen platform. The cold-start benchmark runs it as a child process. Exits 0 once the
// window is painted, 2 when the statistics do not hold the number of records given as the
// argument. The reporting SDK starts as in the program, with no endpoint named.
#include <unistd.h>

#include <QApplication>
#include <QMainWindow>
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

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qtApplication(argc, argv);
    wv::MainLoop::install();
    wv::Analytics::setSdk(std::make_shared<wv::ReportingSdk>());
    wv::WovanuApplication application;
    application.launch();
    application.windowController().window()->widget()->repaint();
    int code = wv::model().textLine().text().empty() ? 1 : 0;
    if (argc > 1 && wv::model().stats().lessonsList().size() != std::strtoul(argv[1], nullptr, 10))
        code = 2;
    // As the program leaves: the SDK's threads outlive main, so no static destructors.
    std::fflush(nullptr);
    _exit(code);
}
