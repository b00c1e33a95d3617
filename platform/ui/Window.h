#pragma once

#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/ui/values/Color.h"
#include "platform/ui/values/Geometry.h"

class QMainWindow;
class QWidget;

namespace wv {

class View;
class ViewController;
class Menu;

// Notifications a window posts on the default notification centre, with itself as sender.
inline constexpr const char* kWindowDidResizeNotification = "NSWindowDidResizeNotification";
inline constexpr const char* kWindowWillStartLiveResizeNotification = "NSWindowWillStartLiveResizeNotification";
inline constexpr const char* kWindowDidEndLiveResizeNotification = "NSWindowDidEndLiveResizeNotification";
inline constexpr const char* kWindowWillEnterFullScreenNotification = "NSWindowWillEnterFullScreenNotification";
inline constexpr const char* kWindowDidEnterFullScreenNotification = "NSWindowDidEnterFullScreenNotification";
inline constexpr const char* kWindowWillExitFullScreenNotification = "NSWindowWillExitFullScreenNotification";
inline constexpr const char* kWindowDidExitFullScreenNotification = "NSWindowDidExitFullScreenNotification";
inline constexpr const char* kWindowWillCloseNotification = "NSWindowWillCloseNotification";

// A top-level window with one content view that fills it. A run of resize steps counts as
// one live resize: it starts with the first step and ends once the size has rested for a
// moment, as dragging a window's edge would.
class Window {
public:
    static constexpr std::uint64_t kFullScreenStyleMask = 0x4000;

    explicit Window(const Rect& contentRect = Rect(0, 0, 1100, 620));
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    View* contentView() const;
    void setContentView(View* view);  // takes ownership
    ViewController* contentViewController() const { return contentController_.get(); }
    void setContentViewController(std::shared_ptr<ViewController> controller);

    Rect frame() const;  // size of the window; origin on the screen with y upward
    void setContentSize(Size size);
    // The smallest size the content may take; the window does not shrink below it.
    void setContentMinSize(Size size);
    Size contentMinSize() const { return contentMinSize_; }
    void setTitle(const std::string& title);
    Color backgroundColor() const { return background_; }
    void setBackgroundColor(const Color& color);
    // Remembered only: on Linux the window manager draws the title bar.
    void setTitlebarAppearsTransparent(bool transparent) { transparentTitlebar_ = transparent; }
    bool titlebarAppearsTransparent() const { return transparentTitlebar_; }
    // A press on the window's background that no view takes then moves the window.
    void setMovableByWindowBackground(bool movable) { movableByBackground_ = movable; }
    bool isMovableByWindowBackground() const { return movableByBackground_; }
    void setMenu(Menu* menu);  // shown as the window's menu bar; not owned

    // Gives `view` the keyboard. Input methods stay off for it, so dead keys and composed
    // characters arrive as the raw key presses they are.
    void makeFirstResponder(View* view);
    void makeKeyAndOrderFront();
    void orderFront();
    void close();
    bool isVisible() const;
    bool isKeyWindow() const;
    std::uint64_t styleMask() const;
    bool isFullScreen() const;
    void toggleFullScreen();

    // The window's delegate, in callbacks.
    std::function<void()> onWillClose;
    std::function<void()> onDidResize;

    QMainWindow* widget() const;
    static Window* forContentView(const View* view);
    static Window* forWidget(const QWidget* widget);

private:
    class Widget;
    friend class Widget;
    void resized();
    void liveResizeRested();

    QPointer<QMainWindow> widget_;
    std::shared_ptr<ViewController> contentController_;
    Color background_ = Color::rgb(0.93, 0.93, 0.93);
    Size contentMinSize_{0, 0};
    bool transparentTitlebar_ = false;
    bool movableByBackground_ = false;
    bool inLiveResize_ = false;
    unsigned long resizeGeneration_ = 0;
};

}  // namespace wv
