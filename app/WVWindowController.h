#pragma once

#include <memory>
#include <string>

#include "platform/dispatch/Timer.h"
#include "platform/ui/values/Color.h"

namespace wv {

class Window;
class WVHelpWindowController;

// Posted on the default centre, without sender, after every resize step of the main window.
inline constexpr const char* kWVWindowControllerWindowDidResize =
    "WVWindowControllerWindowDidResize";

// The main window's controller: the window's look, the help window shown once on the very
// first launch, and the announcement of every resize.
class WVWindowController {
  public:
    static constexpr Color kBackgroundColor = Color::rgb(0.171875, 0.16796875, 0.19921875);

    explicit WVWindowController(std::unique_ptr<Window> window);
    virtual ~WVWindowController();

    Window* window() const { return window_.get(); }
    const std::string isShownKey = "helpOnFirstLaunchShown";
    // Made on first use, then kept.
    WVHelpWindowController& helpWindowController();

    void windowDidLoad();
    // Runs the help window modally.
    virtual void showHelp();
    virtual void orderMainWindowFront();
    void windowDidResize();

  private:
    std::unique_ptr<Window> window_;
    std::unique_ptr<WVHelpWindowController> helpWindowController_;
    std::shared_ptr<Timer> helpTimer_;
};

}  // namespace wv
