#include "app/WovanuApplication.h"
#include "platform/foundation/PlatformException.h"
#include "platform/plist/UserDefaults.h"
#include "platform/ui/EventApplication.h"
#include "platform/ui/MainLoop.h"
#include "screens/settings/WVSettingsSidebarController.h"
#include "screens/statistics/StatisticsScreen.h"

int main(int argc, char** argv) {
    wv::EventApplication qtApplication(argc, argv);
    QApplication::setApplicationName("Wovanu Typing");
    const auto crash = wv::UserDefaults::standard().objectForKey("NSApplicationCrashOnExceptions");
    wv::PlatformException::setCrashOnExceptions(crash && crash->is<bool>() && *crash->get<bool>());
    wv::MainLoop::install();
    wv::screens::StatisticsScreen::registerAll();
    wv::screens::registerSettingsSidebar();
    wv::WovanuApplication application;
    application.launch();
    qtApplication.exec();
    return 0;
}
