#include "app/MainStoryboard.h"

#include "app/WVScreenControllers.h"

namespace wv {

MainStoryboard& MainStoryboard::shared() {
    static MainStoryboard storyboard;
    return storyboard;
}

void MainStoryboard::registerController(const std::string& identifier, ControllerMaker maker) {
    makers_[identifier] = std::move(maker);
}

void MainStoryboard::registerHelpWindowController(HelpMaker maker) {
    helpMaker_ = std::move(maker);
}

std::shared_ptr<ViewController> MainStoryboard::instantiateController(
    const std::string& identifier) const {
    if (auto found = makers_.find(identifier); found != makers_.end() && found->second)
        return found->second();
    if (identifier == "statisticsController") return std::make_shared<WVStatisticsController>();
    if (identifier == "settingsController") return std::make_shared<WVSettingsSidebarController>();
    return nullptr;
}

std::unique_ptr<WVHelpWindowController> MainStoryboard::instantiateHelpWindowController() const {
    if (helpMaker_) return helpMaker_();
    return std::make_unique<WVHelpWindowController>();
}

}  // namespace wv
