#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include "app/Analytics.h"
#include "app/AppDelegate.h"
#include "app/WovanuApplication.h"
#include "app/sdk/ReportingSdk.h"
#include "cloud/CloudServices.h"
#include "platform/foundation/PlatformException.h"
#include "platform/plist/UserDefaults.h"
#include "platform/ui/EventApplication.h"
#include "platform/ui/FontConfiguration.h"
#include "platform/ui/MainLoop.h"
#include "screens/help/WVAboutViewController.h"
#include "screens/help/WVHelpWindowController.h"
#include "screens/settings/WVSettingsSidebarController.h"
#include "screens/statistics/StatisticsScreen.h"

int main(int argc, char** argv) {
    wv::startReadingFontConfiguration();
    // Qt picks its media backend when the application object is made. Without its own plugins
    // the GStreamer one crashes on an H.264 video; the FFmpeg one carries its decoders.
    setenv("QT_MEDIA_BACKEND", "ffmpeg", 1);
    wv::EventApplication qtApplication(argc, argv);
    QApplication::setApplicationName("Wovanu Typing");
    const auto crash = wv::UserDefaults::standard().objectForKey("NSApplicationCrashOnExceptions");
    wv::PlatformException::setCrashOnExceptions(crash && crash->is<bool>() && *crash->get<bool>());
    wv::MainLoop::install();
    wv::screens::StatisticsScreen::registerAll();
    wv::screens::registerSettingsSidebar();
    wv::screens::WVHelpWindowController::registerWithStoryboard();
    wv::screens::WVAboutViewController::registerWithStoryboard();
    wv::Analytics::setSdk(std::make_shared<wv::ReportingSdk>());
    wv::WovanuApplication application;
    application.services = wv::CloudServices::forProgram();
    application.launch();
    wv::ReportingSdk::plugSelfTests(application.delegate());
    wv::CloudServices::registerForRemoteNotifications([&application](const auto& userInfo) {
        application.delegate().didReceiveRemoteNotification(userInfo);
    });
    qtApplication.exec();
    // The reporting SDK's queues and threads run until the process ends, and its objects live
    // as long: static destructors run under them would free what they still use. Whatever had
    // to reach the disk did on the way out (the settings, the last events).
    fflush(nullptr);
    _exit(0);
}
