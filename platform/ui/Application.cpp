#include "platform/ui/Application.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QMainWindow>
#include <QPointer>
#include <algorithm>
#include <vector>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/ProcessInfo.h"
#include "platform/ui/KeyEventBridge.h"
#include "platform/ui/Menu.h"
#include "platform/ui/MessageBoxAlertPresenter.h"
#include "platform/ui/MenuItem.h"
#include "platform/ui/Window.h"

namespace wv {

namespace {
void collectKeyEquivalents(const Menu& menu, QList<QAction*>& actions) {
    for (const auto& item : menu.items()) {
        if (item->submenu())
            collectKeyEquivalents(*item->submenu(), actions);
        else if (!item->keyEquivalent().empty())
            actions.push_back(item->qAction());
    }
}
}  // namespace

Application& Application::shared() {
    static Application* application = new Application;  // lives as long as the process
    application->bridge_->install();  // once a QApplication exists
    application->watchState();
    return *application;
}

void Application::watchState() {
    auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (watchingState_ || !gui) return;
    watchingState_ = true;
    // Without a session that reports it, Qt derives the state from the focus window: active
    // while one of the program's windows has the focus.
    QObject::connect(gui, &QGuiApplication::applicationStateChanged, gui,
                     [this](Qt::ApplicationState state) { setActive(state == Qt::ApplicationActive); });
    if (gui->applicationState() == Qt::ApplicationActive) setActive(true);
}

void Application::setActive(bool active) {
    if (active == active_) return;
    auto& center = NotificationCenter::defaultCenter();
    center.post(active ? kWillBecomeActiveNotification : kWillResignActiveNotification, this);
    active_ = active;
    center.post(active ? kDidBecomeActiveNotification : kDidResignActiveNotification, this);
}

Application::Application() : bridge_(std::make_unique<KeyEventBridge>(*this)) {
    bridge_->install();
    // The application's alert, for whoever must ask the user something (the crash kit's
    // submission prompt).
    registerMessageBoxAlertPresenter();
}

Application::~Application() = default;

Window* Application::keyWindow() const { return Window::forWidget(QApplication::activeWindow()); }

Menu& Application::mainMenu() {
    if (!mainMenu_) mainMenu_ = std::make_unique<Menu>();
    return *mainMenu_;
}

int Application::runModal(Window& window) {
    QEventLoop loop;
    modalLoops_.push_back(&loop);
    auto* widget = window.widget();
    widget->setWindowModality(Qt::ApplicationModal);
    auto previousClose = window.onWillClose;
    window.onWillClose = [&, previousClose] {
        if (previousClose) previousClose();
        if (!modalLoops_.empty() && modalLoops_.back() == &loop) loop.exit(0);
    };
    // The menu bar lives in the main window, which the modal run blocks, and Qt drops the
    // shortcuts of a blocked window. The menu's key equivalents (Ctrl+Q above all) work during
    // a modal run as they do outside one, so the modal window carries them while it runs.
    QList<QAction*> keyEquivalents;
    if (mainMenu_) collectKeyEquivalents(*mainMenu_, keyEquivalents);
    QPointer<QWidget> guard(widget);
    widget->addActions(keyEquivalents);
    const std::vector<QPointer<QAction>> tracked(keyEquivalents.begin(), keyEquivalents.end());
    window.makeKeyAndOrderFront();
    const int response = loop.exec();
    for (const QPointer<QAction>& action : tracked)
        if (guard && action) guard->removeAction(action);
    window.onWillClose = previousClose;
    modalLoops_.erase(std::remove(modalLoops_.begin(), modalLoops_.end(), &loop), modalLoops_.end());
    return response;
}

void Application::stopModal(int response) {
    if (!modalLoops_.empty()) modalLoops_.back()->exit(response);
}

Application::MonitorToken Application::addLocalMonitor(std::uint64_t mask, Monitor handler) {
    const MonitorToken token = nextToken_++;
    monitors_.push_back({token, mask, std::move(handler)});
    return token;
}

void Application::removeMonitor(MonitorToken token) {
    monitors_.erase(std::remove_if(monitors_.begin(), monitors_.end(), [&](auto& e) { return e.token == token; }),
                    monitors_.end());
}

std::optional<KeyEvent> Application::dispatchToMonitors(const KeyEvent& event) {
    const std::uint64_t bit = event.type == KeyEvent::Type::KeyDown        ? kKeyDownMask
                              : event.type == KeyEvent::Type::FlagsChanged ? kFlagsChangedMask
                                                                           : 0x800;
    auto monitors = monitors_;  // a handler may add or remove monitors
    std::optional<KeyEvent> current = event;
    for (auto& entry : monitors) {
        if (!(entry.mask & bit) || !entry.handler) continue;
        current = entry.handler(*current);
        if (!current) return std::nullopt;
    }
    return current;
}

void Application::terminate() {
    // Closing the last window quits too, and quitting may close it: one quit, one notice.
    if (terminating_) return;
    terminating_ = true;
    if (willTerminate) willTerminate();
    NotificationCenter::defaultCenter().post(kWillTerminateNotification, this);
    // The program ends as soon as the loop returns: what was just recorded (the last events
    // of the run above all) gets a bounded chance to reach the disk.
    ProcessInfo::shared().waitUntilSuddenTerminationAllowed(grace_);
    // Quitting from inside a modal run ends that run too, whether or not the main loop runs.
    for (QEventLoop* loop : modalLoops_) loop->exit(0);
    QCoreApplication::quit();
    terminating_ = false;
}

}  // namespace wv
