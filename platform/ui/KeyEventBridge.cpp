#include "platform/ui/KeyEventBridge.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include "platform/ui/Application.h"
#include "platform/ui/Window.h"

namespace wv {

KeyEventBridge::KeyEventBridge(Application& application) : application_(application) {}

KeyEventBridge::~KeyEventBridge() {
    if (installed_ && QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(this);
}

void KeyEventBridge::install() {
    if (installed_ || !QCoreApplication::instance()) return;
    QCoreApplication::instance()->installEventFilter(this);
    installed_ = true;
}

bool KeyEventBridge::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) return false;
    if (!watched->isWidgetType()) return false;  // the same key also passes the QWindow first
    return handle(watched, static_cast<QKeyEvent&>(*event));
}

bool KeyEventBridge::handle(QObject* watched, QKeyEvent& event) {
    const bool sameEvent = &event == lastEvent_ && event.timestamp() == lastTimestamp_ &&
                           int(event.type()) == lastType_;
    if (sameEvent) return lastConsumed_;
    lastEvent_ = &event;
    lastTimestamp_ = event.timestamp();
    lastType_ = int(event.type());
    lastConsumed_ = false;
    if (!translator_) return false;
    std::optional<KeyEvent> key = translator_(event);
    if (!key) return false;
    key->window = Window::forWidget(static_cast<QWidget*>(watched));
    lastConsumed_ = !application_.dispatchToMonitors(*key).has_value();
    return lastConsumed_;
}

}  // namespace wv
