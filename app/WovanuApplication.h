#pragma once

#include <memory>

#include "engine/services/ModelServices.h"

namespace wv {

class AppDelegate;
class WVMainViewController;
class WVWindowController;

// The application as the main interface file puts it together: the delegate with its menu,
// the main window with its controller, and the typing screen as the window's content, in the
// order of a launch. Needs a running QApplication; one per process.
class WovanuApplication {
  public:
    WovanuApplication();
    ~WovanuApplication();
    WovanuApplication(const WovanuApplication&) = delete;
    WovanuApplication& operator=(const WovanuApplication&) = delete;

    // Starts the reporting SDK, builds the menu, the window and the typing screen (which
    // loads the settings and makes the first line), finishes launching and shows the window.
    void launch();
    // What quitting does before the event loop ends: the settings are saved.
    void terminate();

    // The cloud services the hub is made with (none: services that do nothing). The hub's
    // analytics always go to the SDK of Analytics.
    ModelServices services;

    AppDelegate& delegate() { return *delegate_; }
    WVWindowController& windowController() { return *windowController_; }
    WVMainViewController& mainViewController() { return *mainViewController_; }

  private:
    std::unique_ptr<AppDelegate> delegate_;
    std::unique_ptr<WVWindowController> windowController_;
    std::shared_ptr<WVMainViewController> mainViewController_;
};

}  // namespace wv
