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

class WVHelpWindowController {
  public:
    virtual ~WVHelpWindowController() = default;
    // The help window; made on first use.
    virtual Window* window();
    // Hides the window, ends its modal run and calls onHide.
    virtual void hide();
    std::function<void()> onHide;

  protected:
    std::unique_ptr<Window> window_;
};

}  // namespace wv
