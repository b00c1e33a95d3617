#include "app/WVScreenControllers.h"

#include "platform/ui/Application.h"

namespace wv {

Window* WVHelpWindowController::window() {
    if (!window_) {
        window_ = std::make_unique<Window>(Rect(0, 0, 640, 420));
        window_->setTitle("Wovanu Typing");
        window_->setBackgroundColor(Color::rgb(0.171875, 0.16796875, 0.19921875));
        window_->onWillClose = [this] {
            Application::shared().stopModal();
            if (onHide) onHide();
        };
    }
    return window_.get();
}

void WVHelpWindowController::hide() {
    if (window_) window_->close();
}

}  // namespace wv
