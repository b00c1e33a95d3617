#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/KeyEvent.h"
#include "platform/ui/TextField.h"
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

// Until the full help screen is built, the help window shows the three help pages as text:
// "Next" (or Return) turns the page, and the last page's "Next" or Escape closes it.
class WVHelpWindowController {
  public:
    virtual ~WVHelpWindowController();
    // The help window; made on first use.
    virtual Window* window();
    // Hides the window, ends its modal run and calls onHide.
    virtual void hide();
    std::function<void()> onHide;

    int page() const { return page_; }
    // Turns to the next page; after the last one the window hides.
    void nextPage();

  protected:
    std::unique_ptr<Window> window_;

  private:
    void showPage(int page);

    int page_ = 0;
    TextField* title_ = nullptr;
    TextField* description_ = nullptr;
    TextField* pageNumber_ = nullptr;
    Button* next_ = nullptr;
    std::optional<Application::MonitorToken> keyMonitor_;
};

}  // namespace wv
