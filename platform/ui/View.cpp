#include "platform/ui/View.h"

#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "platform/dispatch/Clock.h"
#include "platform/ui/AnimationContext.h"
#include "platform/ui/Bands.h"
#include "platform/ui/AnimationDriver.h"
#include "platform/ui/Layer.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

namespace wv {

namespace {
double now() { return Clock::current().now(); }

// Spreads a change of the superview's extent evenly over the flexible parts of one axis.
void resizeAxis(double delta, bool flexibleLow, bool flexibleSize, bool flexibleHigh,
                double& origin, double& size) {
    const int parts = int(flexibleLow) + int(flexibleSize) + int(flexibleHigh);
    if (parts == 0) return;
    const double share = delta / parts;
    if (flexibleLow) origin += share;
    if (flexibleSize) size = std::max(0.0, size + share);
}
}  // namespace

View::View(const Rect& frame) {
    setAttribute(Qt::WA_NoSystemBackground);
    setFrame(frame);
}

View::~View() {
    if (rootLayer_) rootLayer_->host_ = nullptr;
    if (superview_) {
        auto& list = superview_->subviews_;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    for (View* sub : subviews_) sub->superview_ = nullptr;  // Qt deletes them as children
}

// The one conversion from a frame (in the superview's coordinates) to widget geometry.
void View::applyGeometry(const Rect& f) {
    // Qt takes every geometry it is given as a change: it forgets which of the window's views
    // hide others, and works that out again over the whole window at the next paint. A pulsing
    // key applies its unchanged frame at every frame.
    if (!superview_) {
        const QSize size(int(std::lround(f.width())), int(std::lround(f.height())));
        if (size != QWidget::size()) resize(size);
        return;
    }
    const double top =
        superview_->isFlipped() ? f.y() : superview_->frame_.height() - f.y() - f.height();
    const int x0 = int(std::lround(f.x())), y0 = int(std::lround(top));
    const QRect geometry(x0, y0, int(std::lround(f.x() + f.width())) - x0,
                         int(std::lround(top + f.height())) - y0);
    if (geometry != QWidget::geometry()) setGeometry(geometry);
}

void View::setFrame(const Rect& frame) {
    animations_.erase("frame");
    const Size old = frame_.size;
    frame_ = frame;
    applyGeometry(frame);
    if (!(old == frame.size)) {
        layoutSubviewsAfterResize(old);
        if (rootLayer_) {
            rootLayer_->frame_ = bounds();
            rootLayer_->boundsChanged(old, frame.size);
        }
        frameSizeChanged(old);
    }
    setNeedsDisplay();
}

void View::layoutSubviewsAfterResize(Size old) {
    const double dw = frame_.width() - old.width, dh = frame_.height() - old.height;
    for (View* sub : subviews_) {
        Rect f = sub->frame_;
        const unsigned m = sub->autoresizing_;
        resizeAxis(dw, m & MinXMargin, m & WidthSizable, m & MaxXMargin, f.origin.x, f.size.width);
        resizeAxis(dh, m & MinYMargin, m & HeightSizable, m & MaxYMargin, f.origin.y,
                   f.size.height);
        if (f == sub->frame_)
            sub->applyGeometry(sub->presentationFrame());  // our height moved its top edge
        else
            sub->setFrame(f);
    }
}

void View::setFlipped(bool flipped) {
    if (flipped_ == flipped) return;
    flipped_ = flipped;
    for (View* sub : subviews_) sub->applyGeometry(sub->frame_);
    setNeedsDisplay();
}

void View::setAlphaValue(double alpha) {
    animations_.erase("alphaValue");
    alpha_ = alpha;
    applyAlpha(alpha);
}

void View::applyAlpha(double alpha) {
    alpha = std::clamp(alpha, 0.0, 1.0);
    // A view without subviews fades by painting itself more faintly; only a view whose
    // children must fade with it needs an offscreen effect, which re-renders on every paint.
    const bool needsEffect = alpha < 1.0 && !subviews_.empty();
    if (!needsEffect && opacityEffect_) {
        setGraphicsEffect(nullptr);  // deletes it
        opacityEffect_ = nullptr;
    }
    const double paintAlpha = needsEffect ? 1.0 : alpha;
    if (paintAlpha != paintAlpha_) {
        paintAlpha_ = paintAlpha;
        update();
    }
    if (!needsEffect) return;
    if (!opacityEffect_) {
        opacityEffect_ = new QGraphicsOpacityEffect(this);
        setGraphicsEffect(opacityEffect_);
    }
    opacityEffect_->setOpacity(alpha);
}

void View::setVisible(bool visible) {
    hidden_ = !visible;
    QWidget::setVisible(visible);
}

void View::addSubview(View* view) {
    if (!view || view == this) return;
    if (Window* to = window(); view->window() != to) view->announceWindow(to);
    view->detachFromSuperview();
    view->superview_ = this;
    subviews_.push_back(view);
    view->setParent(this);  // Qt hides a widget it reparents
    view->applyGeometry(view->frame_);
    view->raise();
    if (!view->hidden_) view->QWidget::setVisible(true);
    if (subviews_.size() == 1) applyAlpha(presentationAlpha());  // children now fade too
}

void View::removeFromSuperview() {
    if (!superview_) return;
    if (window()) announceWindow(nullptr);
    detachFromSuperview();
}

void View::announceWindow(Window* newWindow) {
    viewWillMoveToWindow(newWindow);
    for (View* sub : std::vector<View*>(subviews_)) sub->announceWindow(newWindow);
}

void View::detachFromSuperview() {
    if (!superview_) return;
    auto& list = superview_->subviews_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    superview_ = nullptr;
    const bool wasHidden = hidden_;
    setParent(nullptr);
    hidden_ = wasHidden;
}

View* View::viewWithTag(int tag) {
    if (tag_ == tag) return this;
    for (View* sub : subviews_)
        if (View* found = sub->viewWithTag(tag)) return found;
    return nullptr;
}

bool View::isDescendantOf(const View* view) const {
    for (const View* v = this; v; v = v->superview_)
        if (v == view) return true;
    return false;
}

Window* View::window() const {
    const View* top = this;
    while (top->superview_) top = top->superview_;
    return Window::forContentView(top);
}

void View::setNeedsDisplay(bool needed) {
    needsDisplay_ = needed;
    if (needed) update();
}

void View::setNeedsDisplayInRect(const Rect& r) {
    needsDisplay_ = true;
    const double top = isFlipped() ? r.y() : frame_.height() - r.y() - r.height();
    update(QRect(int(std::floor(r.x())), int(std::floor(top)), int(std::ceil(r.width())) + 1,
                 int(std::ceil(r.height())) + 1));
}

Point View::convertPointToWindow(Point p) const {
    const QPointF local(p.x, isFlipped() ? p.y : frame_.height() - p.y);
    const View* top = this;
    while (top->superview_) top = top->superview_;
    const QPointF inTop = top == this ? local : mapTo(top, local);
    return Point{inTop.x(), top->frame_.height() - inTop.y()};
}

Point View::convertPointFromWindow(Point p) const {
    const View* top = this;
    while (top->superview_) top = top->superview_;
    const QPointF inTop(p.x, top->frame_.height() - p.y);
    const QPointF local = top == this ? inTop : mapFrom(top, inTop);
    return Point{local.x(), isFlipped() ? local.y() : frame_.height() - local.y()};
}

Rect View::convertRectToView(const Rect& r, const View* other) const {
    const Point a = convertPointToWindow(r.origin);
    const Point b = convertPointToWindow(Point{r.maxX(), r.maxY()});
    Point c = a, d = b;
    if (other) {
        c = other->convertPointFromWindow(a);
        d = other->convertPointFromWindow(b);
    }
    return Rect(std::min(c.x, d.x), std::min(c.y, d.y), std::fabs(d.x - c.x), std::fabs(d.y - c.y));
}

Layer* View::layer() {
    if (!rootLayer_) setLayer(std::make_shared<Layer>());
    return rootLayer_.get();
}

void View::setLayer(std::shared_ptr<Layer> layer) {
    if (rootLayer_) rootLayer_->host_ = nullptr;
    rootLayer_ = std::move(layer);
    if (rootLayer_) {
        rootLayer_->host_ = this;
        rootLayer_->frame_ = bounds();
    }
    setNeedsDisplay();
}

ViewAnimator View::animator() { return ViewAnimator(this); }

void View::animate(const std::string& keyPath, AnimatedValue to) {
    AnimationContext* context = AnimationContext::current();
    const double duration = context ? context->duration() : AnimationContext::kDefaultDuration;
    const AnimatedValue from = keyPath == "frame" ? AnimatedValue(presentationFrame())
                                                  : AnimatedValue(presentationAlpha());
    if (keyPath == "frame")
        setFrame(std::get<Rect>(to));
    else
        setAlphaValue(std::get<double>(to));
    if (duration <= 0) return;
    Animation animation;
    animation.keyPath = keyPath;
    animation.from = from;
    animation.to = to;
    animation.duration = duration;
    animation.timing = context ? context->timing() : TimingFunction::standard();
    animation.beginTime = now();
    animations_[keyPath] = animation;
    applyPresentation(false);
    AnimationDriver::shared().watch(this);
}

Rect View::presentationFrame() const {
    auto it = animations_.find("frame");
    if (it == animations_.end()) return frame_;
    return std::get<Rect>(it->second.valueAt(now(), frame_));
}

double View::presentationAlpha() const {
    auto it = animations_.find("alphaValue");
    if (it == animations_.end()) return alpha_;
    return std::get<double>(it->second.valueAt(now(), alpha_));
}

bool View::hasRunningAnimations() const {
    const double t = now();
    for (auto& [key, animation] : animations_)
        if (!animation.isFinished(t)) return true;
    return rootLayer_ && rootLayer_->hasRunningAnimations();
}

bool View::animatesGeometry() const {
    const double t = now();
    auto it = animations_.find("frame");
    if (it != animations_.end() && !it->second.isFinished(t)) return true;
    return rootLayer_ && rootLayer_->animatesFrame();
}

void View::updateAnimatedRegion() {
    if (!rootLayer_) return;
    QRegion region;
    const QRectF all(0, 0, width(), height());
    rootLayer_->addAnimatedRegion(region, all, all, !isFlipped(), false);
    if (!region.isEmpty()) update(region);
}

bool View::isOnScreen() const {
    if (!isVisible()) return false;
    const QWidget* top = QWidget::window();
    const QWindow* handle = top->windowHandle();
    return handle && handle->isExposed() && !top->isMinimized();
}

void View::removeViewAnimations() {
    animations_.clear();
    applyPresentation(false);
}

void View::applyPresentation(bool recursive) {
    const double t = now();
    for (auto it = animations_.begin(); it != animations_.end();)
        it = it->second.isFinished(t) ? animations_.erase(it) : std::next(it);
    applyGeometry(presentationFrame());
    applyAlpha(presentationAlpha());
    if (recursive)
        for (View* sub : subviews_) sub->applyPresentation(true);
}

QImage View::snapshot(double scale) {
    applyPresentation(true);
    QWidget* top = QWidget::window();
    if (!top->isVisible()) {
        // Qt draws only shown widgets; show the window without putting it on a screen.
        top->setAttribute(Qt::WA_DontShowOnScreen);
        top->show();
    }
    QImage image(int(std::ceil(width() * scale)), int(std::ceil(height() * scale)),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

void View::draw(QPainter&, const Rect&) {}

namespace {
// A region tall enough for Qt's thread pool (a key partly under a finger that lit up) is drawn
// in bands, each its own clip. A plain rectangle stays one piece, so a view drawn in code is
// drawn once, unless the view draws in bands (see setDrawsInBands).
constexpr int kPieceRows = 64;

std::vector<QRect> piecesOf(const QRegion& region, bool bands) {
    if (region.rectCount() <= 1 && !bands) return {};
    int spans = 0;
    for (const QRect& r : region) spans += r.height();
    if (spans < kThreadedSpans) return {};
    return bandsOf(region, kPieceRows);
}
}  // namespace

void View::paintEvent(QPaintEvent* event) {
    needsDisplay_ = false;
    QPainter painter(this);
    // In this painter: opening a second one on the widget costs as much as a small key's paint.
    if (underlay_) underlay_(painter, event->region());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setOpacity(paintAlpha_);
    const std::vector<QRect> pieces = piecesOf(event->region(), drawsInBands_);
    if (pieces.empty()) {
        paintPiece(painter, event->rect());
    } else {
        for (const QRect& piece : pieces) {
            painter.save();
            painter.setClipRect(piece);
            paintPiece(painter, piece);
            painter.restore();
        }
    }
    // A view dropped by the animation driver while off screen comes back when it is drawn.
    if (rootLayer_ && rootLayer_->hasRunningAnimations()) AnimationDriver::shared().watch(this);
}

void View::paintPiece(QPainter& painter, const QRect& dirty) {
    const Rect dirtyRect(dirty.x(), isFlipped() ? dirty.y() : height() - dirty.y() - dirty.height(),
                         dirty.width(), dirty.height());
    auto drawOwn = [&](QPainter& p) {
        p.save();
        p.resetTransform();
        if (!isFlipped()) {
            p.translate(0, height());
            p.scale(1, -1);
        }
        draw(p, dirtyRect);
        p.restore();
    };
    if (rootLayer_)
        rootLayer_->render(painter, QRectF(0, 0, width(), height()), !isFlipped(), drawOwn);
    else
        drawOwn(painter);
}

void View::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // A window's content view is sized by the window, not through setFrame.
    const Size size{double(width()), double(height())};
    if (!superview_ && !(size == frame_.size) && !animations_.count("frame"))
        setFrame(Rect(frame_.origin, size));
}

MouseEvent View::makeEvent(const QPointF& position, int clickCount) const {
    const Point local{position.x(), isFlipped() ? position.y() : frame_.height() - position.y()};
    MouseEvent event;
    event.locationInWindow = convertPointToWindow(local);
    event.clickCount = clickCount;
    return event;
}

bool View::passMouse(void (View::*handler)(const MouseEvent&), const MouseEvent& event) {
    mouseHandled_ = true;
    (this->*handler)(event);
    return mouseHandled_;
}

namespace {
// The last press, counted once per window rather than per view: a press that a view leaves
// (a backdrop, a label) is offered to its parent as a copy with the same type, time and place,
// and the parent must see the click count of that press, not a first click of its own.
struct CountedPress {
    QEvent::Type type = QEvent::None;
    qint64 time = -1;
    QPointF global;
    const QWidget* window = nullptr;
    int count = 0;
};
CountedPress lastPress;
}  // namespace

void View::mousePressEvent(QMouseEvent* event) {
    const QWidget* top = QWidget::window();
    const qint64 time = qint64(event->timestamp());
    const bool offeredAgain = event->type() == lastPress.type && time == lastPress.time &&
                              event->globalPosition() == lastPress.global &&
                              top == lastPress.window;
    if (!offeredAgain) {
        const bool again = top == lastPress.window &&
                           time - lastPress.time <= QApplication::doubleClickInterval() &&
                           (event->globalPosition() - lastPress.global).manhattanLength() < 5;
        lastPress = {event->type(), time, event->globalPosition(), top,
                     again ? lastPress.count + 1 : 1};
    }
    clickCount_ = lastPress.count;
    lastDragPosition_ = event->globalPosition();
    if (!passMouse(&View::mouseDown, makeEvent(event->position(), clickCount_))) event->ignore();
}

// Qt delivers the second press of a double click as this event instead of a press.
void View::mouseDoubleClickEvent(QMouseEvent* event) { mousePressEvent(event); }

void View::mouseReleaseEvent(QMouseEvent* event) {
    if (!passMouse(&View::mouseUp, makeEvent(event->position(), clickCount_))) event->ignore();
}

void View::mouseMoveEvent(QMouseEvent* event) {
    MouseEvent e = makeEvent(event->position(), clickCount_);
    const bool dragging = event->buttons() != Qt::NoButton;
    if (dragging) {
        // Measured on the screen: a view that scrolls while it is dragged moves under the
        // pointer, so its own coordinates would swallow the movement.
        e.deltaX = event->globalPosition().x() - lastDragPosition_.x();
        e.deltaY = event->globalPosition().y() - lastDragPosition_.y();
        lastDragPosition_ = event->globalPosition();
    }
    if (!passMouse(dragging ? &View::mouseDragged : &View::mouseMoved, e)) event->ignore();
}

void View::wheelEvent(QWheelEvent* event) {
    MouseEvent e = makeEvent(event->position(), 0);
    const QPoint pixels = event->pixelDelta();
    const QPointF degrees = QPointF(event->angleDelta()) / 8.0;
    e.scrollingDeltaX = pixels.isNull() ? degrees.x() : pixels.x();
    e.scrollingDeltaY = pixels.isNull() ? degrees.y() : pixels.y();
    if (!passMouse(&View::scrollWheel, e)) event->ignore();
}

void View::enterEvent(QEnterEvent* event) {
    passMouse(&View::mouseEntered, makeEvent(event->position(), 0));
}

void View::leaveEvent(QEvent*) {
    passMouse(&View::mouseExited, makeEvent(mapFromGlobal(QCursor::pos()), 0));
}

void View::mouseDown(const MouseEvent& event) {
    if (controller_)
        controller_->mouseDown(event);
    else
        mouseHandled_ = false;
}
void View::mouseUp(const MouseEvent&) { mouseHandled_ = false; }
void View::mouseDragged(const MouseEvent&) { mouseHandled_ = false; }
void View::mouseMoved(const MouseEvent&) { mouseHandled_ = false; }
void View::mouseEntered(const MouseEvent&) { mouseHandled_ = false; }
void View::mouseExited(const MouseEvent&) { mouseHandled_ = false; }
void View::scrollWheel(const MouseEvent&) { mouseHandled_ = false; }

void View::setTracksMouse(bool tracks) { setMouseTracking(tracks); }

void ViewAnimator::setAlphaValue(double alpha) { view_->animate("alphaValue", alpha); }
void ViewAnimator::setFrame(const Rect& frame) { view_->animate("frame", frame); }
void ViewAnimator::setFrameOrigin(Point origin) { setFrame(Rect(origin, view_->frame().size)); }
void ViewAnimator::setFrameSize(Size size) { setFrame(Rect(view_->frame().origin, size)); }

}  // namespace wv
