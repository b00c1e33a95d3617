#pragma once

#include <memory>
#include <optional>

#include "app/WVScreenControllers.h"
#include "platform/ui/Application.h"

namespace wv::screens {

class WVHelpController;
class WVHelpWindow;

// The help window's controller and the window's delegate: it ends the modal run when the
// window closes and then calls onHide, at every close. Return presses Next and Escape the
// close button while the window has the keys.
class WVHelpWindowController final : public wv::WVHelpWindowController {
  public:
    WVHelpWindowController();
    ~WVHelpWindowController() override;

    Window* window() override;
    void windowWillShow() override;
    WVHelpController& helpController() { return *controller_; }

    // Makes the help the storyboard's "helpWindowController". Call once at start-up.
    static void registerWithStoryboard();

  private:
    void windowDidLoad();
    void windowWillClose();

    std::unique_ptr<WVHelpWindow> helpWindow_;
    std::shared_ptr<WVHelpController> controller_;
    std::optional<Application::MonitorToken> keyMonitor_;
};

}  // namespace wv::screens
