#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/ui/KeyEvent.h"

class QEventLoop;
class QObject;

namespace wv {

class Menu;
class Window;
class KeyEventBridge;

// The running application over Qt's: its windows, main menu, modal runs, and the local key
// event monitors. Needs a QApplication; made on first use of shared().
class Application {
public:
    // Posted on the default notification center with the application as sender, on the main
    // thread: the two "become active" ones around the moment one of the program's windows
    // gets the focus after none had it, the two "resign active" ones when the program loses
    // it; "will terminate" once when the program quits.
    static constexpr const char* kWillBecomeActiveNotification =
        "NSApplicationWillBecomeActiveNotification";
    static constexpr const char* kDidBecomeActiveNotification =
        "NSApplicationDidBecomeActiveNotification";
    static constexpr const char* kWillResignActiveNotification =
        "NSApplicationWillResignActiveNotification";
    static constexpr const char* kDidResignActiveNotification =
        "NSApplicationDidResignActiveNotification";
    static constexpr const char* kWillTerminateNotification =
        "NSApplicationWillTerminateNotification";
    // How long quitting waits at most for work that holds off sudden termination.
    static constexpr std::chrono::milliseconds kTerminationGrace{2000};

    static Application& shared();
    ~Application();

    Window* mainWindow() const { return mainWindow_; }
    void setMainWindow(Window* window) { mainWindow_ = window; }
    Window* keyWindow() const;  // the window that has the keyboard, if it is one of ours

    Menu& mainMenu();

    // Shows `window` modally and returns when stopModal() is called (or the window closes).
    int runModal(Window& window);
    void stopModal(int response = 0);
    bool isRunningModal() const { return !modalLoops_.empty(); }

    // Local monitors see key events before any window does. A handler returns the event to
    // let it go on, or nothing to consume it. Monitors run in the order they were added.
    using Monitor = std::function<std::optional<KeyEvent>(const KeyEvent&)>;
    using MonitorToken = std::uint64_t;
    MonitorToken addLocalMonitor(std::uint64_t mask, Monitor handler);
    void removeMonitor(MonitorToken token);
    // Runs the monitors for an event; nothing means it was consumed.
    std::optional<KeyEvent> dispatchToMonitors(const KeyEvent& event);

    bool isActive() const { return active_; }
    // Posts the "will" and "did" notifications of a change; a state it is in already posts
    // nothing. Qt's application state drives it.
    void setActive(bool active);

    // Quitting: `willTerminate`, then the "will terminate" notification, then a wait of at
    // most the grace period while some work holds off sudden termination (ProcessInfo), then
    // the event loops end. A call made while one runs does nothing.
    void terminate();
    std::function<void()> willTerminate;
    void setTerminationGraceForTesting(std::chrono::milliseconds grace) { grace_ = grace; }

    // Runs `block` once on the main queue after the first paint of any of the program's
    // windows has gone to the screen (on the next turn if that happened already), so work
    // the first picture does not need can wait for it without delaying it.
    void afterFirstPaint(std::function<void()> block);
    // Puts the first picture of the shown windows on the screen now, if it is not there yet:
    // for work that cannot wait for the first paint but should not delay it either.
    void showFirstPictureNow();

private:
    Application();
    struct Entry {
        MonitorToken token;
        std::uint64_t mask;
        Monitor handler;
    };
    std::vector<Entry> monitors_;
    MonitorToken nextToken_ = 1;
    Window* mainWindow_ = nullptr;
    std::unique_ptr<Menu> mainMenu_;
    std::vector<QEventLoop*> modalLoops_;
    std::unique_ptr<KeyEventBridge> bridge_;
    bool watchingState_ = false;
    bool active_ = false;
    bool terminating_ = false;
    bool painted_ = false;
    std::vector<std::function<void()>> afterFirstPaint_;
    std::unique_ptr<QObject> paintWatcher_;
    void watchFirstPaint();
    void firstPaintDone();
    std::chrono::milliseconds grace_ = kTerminationGrace;
    void watchState();
};

}  // namespace wv
