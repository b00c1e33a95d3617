#include "screens/controls/WVClickListenerView.h"

#include <QPointer>

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"

namespace wv {

const std::string& WVClickListenerViewEventRecieved() {
    static const std::string name = "WVClickListenerViewEventRecieved";
    return name;
}

void WVClickListenerView::mouseUp(const MouseEvent& event) {
    if (event.clickCount >= 2) {
        if (doubleClickTimer) doubleClickTimer->invalidate();
        if (Window* main = Application::shared().mainWindow()) main->toggleFullScreen();
        return;
    }
    if (event.clickCount != 1) return;
    // The timer holds the view only weakly: a view gone before the wait ends posts nothing.
    QPointer<WVClickListenerView> self(this);
    // An earlier timer is replaced, not invalidated: two quick clicks that both count as
    // single clicks post twice.
    doubleClickTimer = Timer::scheduled(kSingleClickDelay, false, [self](Timer& timer) {
        if (self) self->onDoubleClickTimeoutWithTimer(timer);
    });
}

void WVClickListenerView::onDoubleClickTimeoutWithTimer(Timer&) {
    NotificationCenter::defaultCenter().post(WVClickListenerViewEventRecieved(), this);
}

}  // namespace wv
