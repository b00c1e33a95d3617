#include "platform/ui/Window.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QWindow>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <cmath>

#include "platform/dispatch/MainQueue.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Menu.h"
#include "platform/ui/QtConvert.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"

namespace wv {

namespace {
// How long the size must rest before a live resize counts as ended.
constexpr double kLiveResizeRest = 0.2;
constexpr const char* kWindowProperty = "wvWindow";
}  // namespace

class Window::Widget final : public QMainWindow {
public:
    explicit Widget(Window* owner) : owner_(owner) {}
    Window* owner_;

protected:
    void resizeEvent(QResizeEvent* event) override {
        QMainWindow::resizeEvent(event);
        if (owner_) owner_->resized();
    }
    void closeEvent(QCloseEvent* event) override {
        if (owner_) {
            NotificationCenter::defaultCenter().post(kWindowWillCloseNotification, owner_);
            if (owner_->onWillClose) owner_->onWillClose();
        }
        event->accept();
    }
    void mousePressEvent(QMouseEvent* event) override {
        // A press that no view took lands here: the window's background.
        if (owner_ && owner_->movableByBackground_ && event->button() == Qt::LeftButton && windowHandle()) {
            windowHandle()->startSystemMove();
            return;
        }
        QMainWindow::mousePressEvent(event);
    }
    void changeEvent(QEvent* event) override {
        QMainWindow::changeEvent(event);
        if (event->type() == QEvent::WindowStateChange && owner_) {
            const bool full = isFullScreen();
            if (full != wasFullScreen_) {
                wasFullScreen_ = full;
                NotificationCenter::defaultCenter().post(
                    full ? kWindowDidEnterFullScreenNotification : kWindowDidExitFullScreenNotification, owner_);
            }
        }
    }

private:
    bool wasFullScreen_ = false;
};

Window::Window(const Rect& contentRect) {
    auto* widget = new Widget(this);
    widget_ = widget;
    widget->setProperty(kWindowProperty, QVariant::fromValue<void*>(this));
    widget->resize(int(std::lround(contentRect.width())), int(std::lround(contentRect.height())));
    setContentView(new View(Rect(0, 0, contentRect.width(), contentRect.height())));
    setBackgroundColor(background_);
}

Window::~Window() {
    if (auto* widget = static_cast<Widget*>(widget_.data())) {
        widget->owner_ = nullptr;
        delete widget;
    }
}

QMainWindow* Window::widget() const { return widget_.data(); }

View* Window::contentView() const { return widget_ ? dynamic_cast<View*>(widget_->centralWidget()) : nullptr; }

void Window::setContentView(View* view) {
    if (!widget_ || !view) return;
    view->removeFromSuperview();
    // A controller's view belongs to the controller: hand it back instead of deleting it.
    View* old = contentView();
    if (old && old != view) old->announceWindow(nullptr);
    if (old != view) view->announceWindow(this);
    if (old && old != view && old->viewController()) {
        widget_->takeCentralWidget();
        old->setProperty(kWindowProperty, QVariant());
        old->setParent(nullptr);
    }
    view->setProperty(kWindowProperty, QVariant::fromValue<void*>(this));
    widget_->setCentralWidget(view);  // deletes a previous content view of the window's own
    // The window's layout keeps the content at least this large, and so the window.
    view->setMinimumSize(int(std::ceil(contentMinSize_.width)),
                         int(std::ceil(contentMinSize_.height)));
    view->setFrame(Rect(0, 0, widget_->centralWidget()->width(), widget_->centralWidget()->height()));
}

void Window::setContentViewController(std::shared_ptr<ViewController> controller) {
    contentController_ = std::move(controller);
    if (contentController_) {
        View* view = contentController_->view();
        const QSize size = widget_->size();
        setContentView(view);
        widget_->resize(size);
        view->setFrame(Rect(0, 0, size.width(), size.height()));
    }
}

Rect Window::frame() const {
    if (!widget_) return {};
    const QRect g = widget_->frameGeometry();
    double screenHeight = g.height();
    if (auto* screen = widget_->screen()) screenHeight = screen->geometry().height();
    return Rect(g.x(), screenHeight - g.y() - g.height(), widget_->width(), widget_->height());
}

void Window::setContentMinSize(Size size) {
    contentMinSize_ = size;
    if (View* content = contentView())
        content->setMinimumSize(int(std::ceil(size.width)), int(std::ceil(size.height)));
}

void Window::setContentSize(Size size) {
    if (widget_) widget_->resize(int(std::lround(size.width)), int(std::lround(size.height)));
}

void Window::setTitle(const std::string& title) {
    if (widget_) widget_->setWindowTitle(toQString(title));
}

void Window::setBackgroundColor(const Color& color) {
    background_ = color;
    if (!widget_) return;
    QPalette palette = widget_->palette();
    palette.setColor(QPalette::Window, toQColor(color));
    widget_->setPalette(palette);
    widget_->setAutoFillBackground(true);
}

void Window::setMenu(Menu* menu) {
    if (!widget_ || !menu) return;
    QMenuBar* bar = widget_->menuBar();
    menu->attach(bar);
    bar->show();  // a bar made after the window was shown stays hidden, and so do its shortcuts
}

void Window::makeFirstResponder(View* view) {
    if (!view) return;
    view->setAttribute(Qt::WA_InputMethodEnabled, false);
    view->setFocusPolicy(Qt::StrongFocus);
    view->setFocus(Qt::OtherFocusReason);
}

void Window::makeKeyAndOrderFront() {
    if (!widget_) return;
    widget_->show();
    widget_->raise();
    widget_->activateWindow();
}

void Window::orderFront() {
    if (!widget_) return;
    widget_->show();
    widget_->raise();
}

void Window::close() {
    if (widget_) widget_->close();
}

bool Window::isVisible() const { return widget_ && widget_->isVisible(); }
bool Window::isKeyWindow() const { return widget_ && widget_->isActiveWindow(); }
bool Window::isFullScreen() const { return widget_ && widget_->isFullScreen(); }
std::uint64_t Window::styleMask() const { return isFullScreen() ? kFullScreenStyleMask : 0; }

void Window::toggleFullScreen() {
    if (!widget_) return;
    const bool entering = !widget_->isFullScreen();
    NotificationCenter::defaultCenter().post(
        entering ? kWindowWillEnterFullScreenNotification : kWindowWillExitFullScreenNotification, this);
    if (entering)
        widget_->showFullScreen();
    else
        widget_->showNormal();
}

void Window::resized() {
    if (View* content = contentView()) {
        const QSize size = content->size();
        if (!(content->frame().size == Size{double(size.width()), double(size.height())}))
            content->setFrame(Rect(0, 0, size.width(), size.height()));
    }
    if (!widget_ || !widget_->isVisible()) return;
    auto& center = NotificationCenter::defaultCenter();
    if (!inLiveResize_) {
        inLiveResize_ = true;
        center.post(kWindowWillStartLiveResizeNotification, this);
    }
    center.post(kWindowDidResizeNotification, this);
    if (onDidResize) onDidResize();
    const unsigned long generation = ++resizeGeneration_;
    QPointer<QMainWindow> guard = widget_;
    MainQueue::shared().asyncAfter(kLiveResizeRest, [this, guard, generation] {
        if (guard && generation == resizeGeneration_) liveResizeRested();
    });
}

void Window::liveResizeRested() {
    if (!inLiveResize_) return;
    inLiveResize_ = false;
    NotificationCenter::defaultCenter().post(kWindowDidEndLiveResizeNotification, this);
}

Window* Window::forWidget(const QWidget* widget) {
    // Asked at every frame a key is drawn in: a property is found by name through the whole
    // class chain of every widget on the way, a window's own widget by its type at the top.
    for (const QWidget* w = widget; w; w = w->parentWidget())
        if (w->isWindow())
            if (const auto* top = dynamic_cast<const Widget*>(w)) return top->owner_;
    // A content view not (or no longer) inside its window's widget.
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        const QVariant v = w->property(kWindowProperty);
        if (v.isValid()) return static_cast<Window*>(v.value<void*>());
    }
    return nullptr;
}

Window* Window::forContentView(const View* view) {
    if (!view) return nullptr;
    const QVariant v = view->property(kWindowProperty);
    return v.isValid() ? static_cast<Window*>(v.value<void*>()) : nullptr;
}

}  // namespace wv
