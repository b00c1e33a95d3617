#include <QApplication>

#include "app/WovanuApplication.h"
#include "platform/ui/MainLoop.h"
#include "screens/settings/WVSettingsSidebarController.h"
#include "screens/statistics/StatisticsScreen.h"

int main(int argc, char** argv) {
    QApplication qtApplication(argc, argv);
    QApplication::setApplicationName("Wovanu Typing");
    wv::MainLoop::install();
    wv::screens::StatisticsScreen::registerAll();
    wv::screens::registerSettingsSidebar();
    wv::WovanuApplication application;
    application.launch();
    qtApplication.exec();
    return 0;
}
