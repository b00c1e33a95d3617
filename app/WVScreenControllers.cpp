#include "app/WVScreenControllers.h"

#include "platform/ui/Application.h"

namespace wv {

WVHelpWindowController::~WVHelpWindowController() = default;

Window* WVHelpWindowController::window() {
    if (window_) return window_.get();
    window_ = std::make_unique<Window>(Rect(0, 0, 640, 420));
    window_->setTitle("Wovanu Typing");
    window_->onWillClose = [this] {
        Application::shared().stopModal();
        if (onHide) onHide();
    };
    return window_.get();
}

void WVHelpWindowController::hide() {
    if (Window* help = window()) help->close();
}

}  // namespace wv
