#include "screens/help/WVHelpWindowController.h"

#include "app/MainStoryboard.h"
#include "platform/ui/View.h"
#include "screens/help/WVHelpController.h"
#include "screens/help/WVHelpWindow.h"
#include "storage/LocalizedWindows.h"

namespace wv::screens {

namespace {
constexpr int kReturnKey = 36;
constexpr int kEscapeKey = 53;
}  // namespace

WVHelpWindowController::WVHelpWindowController()
    : controller_(std::make_shared<WVHelpController>()) {}

WVHelpWindowController::~WVHelpWindowController() {
    LocalizedWindows::shared().remove(controller_.get());
    if (keyMonitor_) Application::shared().removeMonitor(*keyMonitor_);
    if (helpWindow_) helpWindow_->onWillClose = nullptr;
}

Window* WVHelpWindowController::window() {
    if (helpWindow_) return helpWindow_.get();
    const Size size = WVHelpController::kContentSize;
    helpWindow_ = std::make_unique<WVHelpWindow>(Rect(0, 0, size.width, size.height));
    helpWindow_->setTitle("Wovanu Typing");
    helpWindow_->setContentViewController(controller_);
    // An interface-language change reaches the help whether it is open or not.
    LocalizedWindows::shared().add(controller_.get());
    windowDidLoad();
    return helpWindow_.get();
}

void WVHelpWindowController::windowDidLoad() {
    helpWindow_->setMovableByWindowBackground(true);
    helpWindow_->setTitlebarAppearsTransparent(true);
    helpWindow_->onWillClose = [this] { windowWillClose(); };
    // The typing screen lets keys for other windows pass; Return and Escape belong to the
    // help's two buttons while the help has the keys.
    keyMonitor_ = Application::shared().addLocalMonitor(
        kKeyDownMask, [this](const KeyEvent& event) -> std::optional<KeyEvent> {
            if (!helpWindow_ || event.window != helpWindow_.get()) return event;
            Button* target = event.keyCode == kReturnKey   ? controller_->helpNext
                             : event.keyCode == kEscapeKey ? controller_->closeButton
                                                           : nullptr;
            if (!target || target->isHidden()) return event;
            target->performClick();
            return std::nullopt;
        });
}

void WVHelpWindowController::windowWillShow() {
    window();
    controller_->viewWillAppear();
}

void WVHelpWindowController::windowWillClose() {
    Application::shared().stopModal();
    if (onHide) onHide();
    controller_->viewWillDisappear();
}

void WVHelpWindowController::registerWithStoryboard() {
    MainStoryboard::shared().registerHelpWindowController(
        [] { return std::make_unique<WVHelpWindowController>(); });
}

}  // namespace wv::screens
