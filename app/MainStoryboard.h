#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace wv {

class ViewController;
class WVHelpWindowController;

// Makes the controllers that the screens ask for by identifier ("statisticsController",
// "settingsController", "helpWindowController"). The screens that own those controllers
// register their makers at start-up; an identifier without a maker gives a stand-in.
class MainStoryboard {
  public:
    using ControllerMaker = std::function<std::shared_ptr<ViewController>()>;
    using HelpMaker = std::function<std::unique_ptr<WVHelpWindowController>()>;

    static MainStoryboard& shared();

    void registerController(const std::string& identifier, ControllerMaker maker);
    void registerHelpWindowController(HelpMaker maker);

    std::shared_ptr<ViewController> instantiateController(const std::string& identifier) const;
    std::unique_ptr<WVHelpWindowController> instantiateHelpWindowController() const;

  private:
    std::map<std::string, ControllerMaker> makers_;
    HelpMaker helpMaker_;
};

}  // namespace wv
