#include "platform/ui/Application.h"

#include <dlfcn.h>
#include <malloc.h>

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMainWindow>
#include <QPointer>
#include <algorithm>
#include <vector>

#include "platform/dispatch/MainQueue.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/ProcessInfo.h"
#include "platform/ui/KeyEventBridge.h"
#include "platform/ui/Menu.h"
#include "platform/ui/MessageBoxAlertPresenter.h"
#include "platform/ui/MenuItem.h"
#include "platform/ui/Window.h"

namespace wv {

namespace {

// Tells the application of the first paint event of any widget, as it is sent.
class FirstPaintWatcher final : public QObject {
  public:
    explicit FirstPaintWatcher(std::function<void()> painting) : painting_(std::move(painting)) {}

  protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::Paint && object->isWidgetType() && painting_) {
            auto painting = std::move(painting_);
            painting_ = nullptr;
            painting();
        }
        return false;
    }

  private:
    std::function<void()> painting_;
};

// A painted picture waits in the X connection's buffer until the event loop next goes idle;
// work that follows the first paint would hold it there. QGuiApplication::sync() would send
// it too, but also turn the event loop inside the caller. The X library is the one Qt's
// platform plugin has loaded already (none on other platforms).
void flushWindowSystem() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection()) return;
    static auto* flush = [] {
        void* library = dlopen("libxcb.so.1", RTLD_LAZY | RTLD_NOLOAD);
        return library ? reinterpret_cast<int (*)(xcb_connection_t*)>(dlsym(library, "xcb_flush"))
                       : nullptr;
    }();
    if (flush) flush(x11->connection());
}

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
    application->watchFirstPaint();
    return *application;
}

void Application::watchFirstPaint() {
    if (painted_ || paintWatcher_ || !QCoreApplication::instance()) return;
    paintWatcher_ = std::make_unique<FirstPaintWatcher>([this] {
        painted_ = true;
        // Through the main queue: the waiting work runs once the paint has been flushed, not
        // in the middle of it.
        MainQueue::shared().async([this] { firstPaintDone(); });
    });
    QCoreApplication::instance()->installEventFilter(paintWatcher_.get());
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

void Application::afterFirstPaint(std::function<void()> block) {
    if (painted_)
        MainQueue::shared().async(std::move(block));
    else
        afterFirstPaint_.push_back(std::move(block));
}

void Application::firstPaintDone() {
    // The filter sees every event of the program: it goes as soon as it has done its work.
    paintWatcher_.reset();
    flushWindowSystem();
    auto blocks = std::move(afterFirstPaint_);
    afterFirstPaint_.clear();
    for (auto& block : blocks) block();
    // The start leaves freed memory all over the heap (pictures drawn once, layouts of the
    // first paint) that the allocator would keep for the program's whole run: handed back once,
    // when the start's work is done.
    MainQueue::shared().async([] { malloc_trim(0); });
}

void Application::showFirstPictureNow() {
    auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!gui) return;
    if (!painted_)
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->isVisible()) widget->repaint();
    flushWindowSystem();
}

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
