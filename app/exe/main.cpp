#include <QApplication>

#include "app/AppDelegate.h"
#include "app/WovanuApplication.h"
#include "cloud/CloudServices.h"
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
    application.services = wv::CloudServices::forProgram();
    application.launch();
    wv::CloudServices::registerForRemoteNotifications([&application](const auto& userInfo) {
        application.delegate().didReceiveRemoteNotification(userInfo);
    });
    qtApplication.exec();
    return 0;
}
