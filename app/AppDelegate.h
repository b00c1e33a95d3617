#pragma once

#include <functional>
#include <memory>

#include "platform/plist/Value.h"
#include "storage/MenuLocalizable.h"

namespace wv {

class Menu;
class MenuItem;
class Window;

// The application delegate: prepares the application menu when launching finishes, starts
// the reporting SDK, saves the settings on the way out, hands cloud pushes to the cloud
// service, and carries the actions of the interface-language and debug menus. It lives for
// the whole process. Main thread only.
class AppDelegate : public MenuLocalizable {
  public:
    AppDelegate();
    ~AppDelegate() override;

    // Builds the application's main menu and connects the outlets below to its items.
    void buildMainMenu(Menu& mainMenu);

    // Items of the application menu, owned by the menu.
    MenuItem* menuItemAbout = nullptr;
    MenuItem* menuItemQuit = nullptr;
    MenuItem* menuItemLangIterface = nullptr;
    MenuItem* menuItemLangSystem = nullptr;
    MenuItem* menuItemLangLearning = nullptr;
    MenuItem* menuItemDbgKeys = nullptr;
    MenuItem* menuItemDebug = nullptr;
    MenuItem* menuItemFakeFillText = nullptr;
    MenuItem* menuItemUpdates = nullptr;
    MenuItem* menuItemFeedback = nullptr;
    MenuItem* menuItemBottomSeparator = nullptr;

    // Before anything is loaded: starts the reporting SDK, so that no event of the start-up
    // (the first launch, the first line) is sent to an SDK that is not running yet.
    void applicationWillFinishLaunching();
    void applicationDidFinishLaunching();
    void applicationWillTerminate();
    bool applicationShouldTerminateAfterLastWindowClosed() const { return true; }
    void didReceiveRemoteNotification(const plist::Dictionary& userInfo);

    void setUILangSystem();
    void setUILangLearning();
    void localizeMenuItems() override;
    void showFeedbackDialog();
    // The About item: opens the storyboard's "aboutController" in a small window of its own,
    // made once and raised again by every later call. Nothing opens without that scene.
    void showAbout();
    Window* aboutWindow() const { return aboutWindow_.get(); }

    void dbgTestCrash();
    void dbgTestException();
    void dbgPrintAllLessonSample();
    void fakeStatistics();

    // The crash kit's self-tests, set once the reporting SDK is plugged in.
    std::function<void()> crashKitCrash;
    std::function<void()> crashKitThrowException;

  private:
    void setLanguageCheckMarks(bool followsLearningLanguage);

    std::unique_ptr<Window> aboutWindow_;
};

// Stands for the updater of the check-for-updates item, which has nothing to do on this
// platform.
class SUUpdater {
  public:
    void checkForUpdates();
};

// A property-list dictionary printed as a log line shows it: ["key": value, ...].
std::string printedForm(const plist::Dictionary& dictionary);

}  // namespace wv
