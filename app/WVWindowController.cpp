#include "app/WVWindowController.h"

#include <QMainWindow>
#include <QMenuBar>
#include <QPalette>

#include "app/MainStoryboard.h"
#include "app/WVScreenControllers.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/plist/UserDefaults.h"
#include "platform/ui/Application.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

namespace wv {

WVWindowController::WVWindowController(std::unique_ptr<Window> window)
    : window_(std::move(window)) {
    window_->onDidResize = [this] { windowDidResize(); };
}

WVWindowController::~WVWindowController() {
    if (helpTimer_) helpTimer_->invalidate();
    if (window_) window_->onDidResize = nullptr;
}

WVHelpWindowController& WVWindowController::helpWindowController() {
    if (!helpWindowController_)
        helpWindowController_ = MainStoryboard::shared().instantiateHelpWindowController();
    return *helpWindowController_;
}

void WVWindowController::windowDidLoad() {
    window_->setMovableByWindowBackground(true);
    window_->setBackgroundColor(kBackgroundColor);
    window_->setTitlebarAppearsTransparent(true);
    // The menu bar sits on the window's dark colour; its titles must stay readable there.
    if (QMainWindow* widget = window_->widget()) {
        QPalette palette = widget->menuBar()->palette();
        for (auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
            palette.setColor(role, QColor(230, 230, 235));
        widget->menuBar()->setPalette(palette);
    }
    if (View* content = window_->contentView()) content->setNeedsDisplay();

    auto& defaults = UserDefaults::standard();
    auto shown = defaults.objectForKey(isShownKey);
    if (shown && shown->get<bool>() && *shown->get<bool>()) return;

    // Stored before the help shows: quitting during the help does not bring it back. Where
    // nothing can be stored (a data folder that cannot be written) the help does not open by
    // itself, or it would open at every start; its button still opens it.
    if (!defaults.setObject(isShownKey, plist::Value(true))) return;
    helpWindowController().onHide = [this] { orderMainWindowFront(); };
    // The short delay lets the main window come up before the modal help window.
    helpTimer_ = Timer::scheduled(0.1, false, [this](Timer&) { showHelp(); });
}

void WVWindowController::showHelp() {
    WVHelpWindowController& controller = helpWindowController();
    Window* help = controller.window();
    if (!help) return;
    controller.windowWillShow();
    Application::shared().runModal(*help);
}

void WVWindowController::orderMainWindowFront() {
    if (Window* main = Application::shared().mainWindow()) main->orderFront();
}

void WVWindowController::windowDidResize() {
    NotificationCenter::defaultCenter().post(kWVWindowControllerWindowDidResize);
}

}  // namespace wv
