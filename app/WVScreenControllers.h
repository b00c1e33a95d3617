#pragma once

#include <functional>
#include <memory>

#include "platform/ui/KeyEvent.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "storage/Localizable.h"

namespace wv {

// The screens the typing screen opens, as far as it depends on them. The statistics screen,
// the settings sidebar and the help window subclass these and register their makers with the
// storyboard; until they do, plain stand-ins with an empty page are shown.

class WVStatisticsController : public ViewController, public Localizable {
  public:
    void localizeCaptions() override {}
    // Keys while the statistics screen is in front reach it here; true when it used the key.
    virtual bool performKeyEquivalent(const KeyEvent&) { return false; }
};

class WVSettingsSidebarController : public ViewController, public Localizable {
  public:
    void localizeCaptions() override {}
    // Called after a settings change; true when the exercise text must be made anew.
    std::function<void(bool)> onSettingsChanged;
};

// The help window's controller as the application shell holds it. The help screen subclasses
// it and registers its maker with the storyboard; without one, the window is empty.
class WVHelpWindowController {
  public:
    virtual ~WVHelpWindowController();
    // The help window; made on first use.
    virtual Window* window();
    // Called before each modal run of the window.
    virtual void windowWillShow() {}
    // Closes the window, which ends its modal run and calls onHide.
    void hide();
    // Called at every close of the window.
    std::function<void()> onHide;

  private:
    std::unique_ptr<Window> window_;
};

}  // namespace wv
