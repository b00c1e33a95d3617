#include <QApplication>

#include "app/WovanuApplication.h"
#include "platform/ui/MainLoop.h"

int main(int argc, char** argv) {
    QApplication qtApplication(argc, argv);
    QApplication::setApplicationName("Wovanu Typing");
    wv::MainLoop::install();
    wv::WovanuApplication application;
    application.launch();
    qtApplication.exec();
    return 0;
}
