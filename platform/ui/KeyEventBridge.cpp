#include "platform/ui/KeyEventBridge.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include "platform/ui/Application.h"
#include "platform/ui/KeyTranslator.h"
#include "platform/ui/Window.h"

namespace wv {

KeyEventBridge::KeyEventBridge(Application& application)
    : application_(application), keys_(std::make_shared<KeyTranslator>()) {
    std::weak_ptr<KeyTranslator> keys = keys_;
    translator_ = [keys](const QKeyEvent& event) -> std::optional<KeyEvent> {
        auto translator = keys.lock();
        return translator ? translator->translate(event) : std::nullopt;
    };
}

KeyEventBridge::~KeyEventBridge() {
    if (installed_ && QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(this);
}

void KeyEventBridge::install() {
    if (installed_ || !QCoreApplication::instance()) return;
    QCoreApplication::instance()->installEventFilter(this);
    installed_ = true;
}

bool KeyEventBridge::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ApplicationDeactivate) keys_->releaseAll();
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) return false;
    if (!watched->isWidgetType()) return false;  // the same key also passes the QWindow first
    // An open menu tracks the keyboard itself; monitors do not see its keys.
    if (QApplication::activePopupWidget()) return false;
    return handle(watched, static_cast<QKeyEvent&>(*event));
}

bool KeyEventBridge::handle(QObject* watched, QKeyEvent& event) {
    // Qt offers an unaccepted key to the parent of the widget it last went to.
    auto* widget = static_cast<QWidget*>(watched);
    const bool offeredToParent = lastReceiver_ && lastReceiver_->isWidgetType() &&
                                 static_cast<QWidget*>(lastReceiver_.data())->parentWidget() == widget;
    const bool sameEvent = offeredToParent && &event == lastEvent_ && event.timestamp() == lastTimestamp_ &&
                           int(event.type()) == lastType_ && event.nativeScanCode() == lastScanCode_;
    lastReceiver_ = watched;
    if (sameEvent) return lastConsumed_;
    lastEvent_ = &event;
    lastScanCode_ = event.nativeScanCode();
    lastTimestamp_ = event.timestamp();
    lastType_ = int(event.type());
    lastConsumed_ = false;
    if (!translator_) return false;
    std::optional<KeyEvent> key = translator_(event);
    if (!key) return false;
    key->window = Window::forWidget(widget);
    lastConsumed_ = !application_.dispatchToMonitors(*key).has_value();
    return lastConsumed_;
}

}  // namespace wv
