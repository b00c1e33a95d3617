#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/ui/KeyEvent.h"

class QEventLoop;

namespace wv {

class Menu;
class Window;
class KeyEventBridge;

// The running application over Qt's: its windows, main menu, modal runs, and the local key
// event monitors. Needs a QApplication; made on first use of shared().
class Application {
public:
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

    void terminate();
    std::function<void()> willTerminate;

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
};

}  // namespace wv
