#include "platform/ui/Layer.h"

#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <algorithm>
#include <cmath>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/ui/AnimationDriver.h"
#include "platform/ui/QtConvert.h"
#include "platform/ui/View.h"

namespace wv {

Layer::~Layer() {
    for (auto& sub : sublayers_) sub->superlayer_ = nullptr;
}

double Layer::now() const { return Clock::current().now(); }

void Layer::setFrame(const Rect& frame) {
    const Size old = frame_.size;
    frame_ = frame;
    if (!(old == frame.size)) boundsChanged(old, frame.size);
    setNeedsDisplay();
}

void Layer::boundsChanged(Size from, Size to) {
    const double dw = to.width - from.width, dh = to.height - from.height;
    for (auto& sub : sublayers_) {
        Rect f = sub->frame_;
        if (sub->autoresizing_ & WidthSizable) f.size.width += dw;
        if (sub->autoresizing_ & HeightSizable) f.size.height += dh;
        if (!(f == sub->frame_)) sub->setFrame(f);
    }
}

// Setting what a property already holds asks for no drawing: a key press sets the look of
// every key again, and each would otherwise repaint.
void Layer::setHidden(bool hidden) {
    if (hidden_ == hidden) return;
    hidden_ = hidden;
    setNeedsDisplay();
}

void Layer::setOpacity(double opacity) {
    if (opacity_ == opacity) return;
    opacity_ = opacity;
    setNeedsDisplay();
}

void Layer::setBackgroundColor(std::optional<Color> color) {
    if (background_ == color) return;
    background_ = color;
    setNeedsDisplay();
}

void Layer::setCornerRadius(double radius) {
    if (cornerRadius_ == radius) return;
    cornerRadius_ = radius;
    setNeedsDisplay();
}

void Layer::setContents(ImagePtr image) {
    if (contents_ == image) return;
    contents_ = std::move(image);
    setNeedsDisplay();
}

void Layer::addSublayer(std::shared_ptr<Layer> layer) {
    if (!layer || layer.get() == this) return;
    layer->removeFromSuperlayer();
    layer->superlayer_ = this;
    sublayers_.push_back(std::move(layer));
    setNeedsDisplay();
    if (sublayers_.back()->hasRunningAnimations()) animationsChanged();
}

void Layer::removeFromSuperlayer() {
    Layer* parent = superlayer_;
    if (!parent) return;
    auto keep = shared_from_this();
    superlayer_ = nullptr;
    auto& list = parent->sublayers_;
    list.erase(
        std::remove_if(list.begin(), list.end(), [this](auto& l) { return l.get() == this; }),
        list.end());
    parent->setNeedsDisplay();
}

View* Layer::hostView() const {
    const Layer* layer = this;
    while (layer->superlayer_) layer = layer->superlayer_;
    return layer->host_;
}

void Layer::setNeedsDisplay() {
    if (View* view = hostView()) view->setNeedsDisplay(true);
}

void Layer::addAnimation(Animation animation, const std::string& key) {
    animation.beginTime = now();
    std::function<void(bool)> replacedCompletion;
    auto it = std::find_if(animations_.begin(), animations_.end(),
                           [&](auto& a) { return a.first == key; });
    if (it != animations_.end()) {
        replacedCompletion = std::move(it->second.completion);
        animations_.erase(it);
    }
    const bool endless = animation.isEndless();
    const double end = animation.beginTime + animation.activeDuration();
    animations_.emplace_back(key, std::move(animation));
    if (!endless) {
        std::weak_ptr<Layer> weak = weak_from_this();
        MainQueue::shared().asyncAt(end, [weak] {
            if (auto layer = weak.lock()) layer->finishAnimations();
        });
    }
    animationsChanged();
    if (replacedCompletion) replacedCompletion(false);
}

void Layer::finishAnimations() {
    const double t = now();
    std::vector<std::function<void(bool)>> done;
    for (auto it = animations_.begin(); it != animations_.end();) {
        if (it->second.isFinished(t)) {
            if (it->second.completion) done.push_back(std::move(it->second.completion));
            it = animations_.erase(it);
        } else {
            ++it;
        }
    }
    if (!done.empty()) setNeedsDisplay();
    for (auto& completion : done) completion(true);
}

void Layer::removeAnimation(const std::string& key) {
    auto it = std::find_if(animations_.begin(), animations_.end(),
                           [&](auto& a) { return a.first == key; });
    if (it == animations_.end()) return;
    auto completion = std::move(it->second.completion);
    animations_.erase(it);
    setNeedsDisplay();
    if (completion) completion(false);
}

void Layer::removeAllAnimations() {
    auto removed = std::move(animations_);
    animations_.clear();
    if (!removed.empty()) setNeedsDisplay();
    for (auto& [key, animation] : removed)
        if (animation.completion) animation.completion(false);
}

const Animation* Layer::animationForKey(const std::string& key) const {
    for (auto& [k, animation] : animations_)
        if (k == key) return &animation;
    return nullptr;
}

std::vector<std::string> Layer::animationKeys() const {
    std::vector<std::string> keys;
    for (auto& entry : animations_) keys.push_back(entry.first);
    return keys;
}

bool Layer::hasRunningAnimations() const {
    const double t = now();
    for (auto& entry : animations_)
        if (!entry.second.isFinished(t)) return true;
    return std::any_of(sublayers_.begin(), sublayers_.end(),
                       [](auto& l) { return l->hasRunningAnimations(); });
}

bool Layer::animatesFrame() const {
    const double t = now();
    for (auto& [key, animation] : animations_)
        if (animation.keyPath == "frame" && !animation.isFinished(t)) return true;
    return std::any_of(sublayers_.begin(), sublayers_.end(),
                       [](auto& l) { return l->animatesFrame(); });
}

QRectF Layer::sublayerTarget(const Layer& sub, const QRectF& target, bool upward) const {
    const Rect f = sub.presentationFrame();
    const double y = upward ? target.height() - f.y() - f.height() : f.y();
    return QRectF(target.x() + f.x(), target.y() + y, f.width(), f.height());
}

void Layer::addAnimatedRegion(QRegion& region, const QRectF& target, const QRectF& parent,
                              bool upward, bool inherited) const {
    if (hidden_) return;
    const double t = now();
    bool animating = inherited, moving = false;
    for (auto& [key, animation] : animations_) {
        if (animation.isFinished(t)) continue;
        animating = true;
        moving = moving || animation.keyPath == "frame";
    }
    // One pixel more on each side for antialiased edges.
    if (animating) region += (moving ? parent : target).toAlignedRect().adjusted(-1, -1, 1, 1);
    for (auto& sub : sublayers_)
        sub->addAnimatedRegion(region, sublayerTarget(*sub, target, upward), target, upward,
                               animating);
}

void Layer::animationsChanged() {
    setNeedsDisplay();
    if (View* view = hostView()) AnimationDriver::shared().watch(view);
}

// A layer that does not animate needs no clock: a copy of one can be drawn on another thread.
double Layer::presentationOpacity() const {
    if (animations_.empty()) return opacity_;
    AnimatedValue value = opacity_;
    const double t = now();
    for (auto& [key, animation] : animations_)
        if (animation.keyPath == "opacity") value = animation.valueAt(t, value);
    return std::get<double>(value);
}

Rect Layer::presentationFrame() const {
    if (animations_.empty()) return frame_;
    AnimatedValue value = frame_;
    const double t = now();
    for (auto& [key, animation] : animations_)
        if (animation.keyPath == "frame") value = animation.valueAt(t, value);
    return std::get<Rect>(value);
}

std::optional<Color> Layer::presentationBackgroundColor() const {
    if (!background_) return std::nullopt;
    if (animations_.empty()) return background_;
    AnimatedValue value = *background_;
    const double t = now();
    for (auto& [key, animation] : animations_)
        if (animation.keyPath == "backgroundColor") value = animation.valueAt(t, value);
    return std::get<Color>(value);
}

void Layer::drawInContext(QPainter&, const QRectF&) const {}

void Layer::fillBackground(QPainter& painter, const QRectF& target, const QColor& color) const {
    // A rounded rectangle filled through the painter is rasterised into several short spans a
    // row, which Qt's raster engine hands to its thread pool once the shape is tall: a pulsing
    // key would do that on every frame. The shape is drawn once into a picture, at the same
    // fraction of a pixel as on the device so its edges get the same pixels, and copied from
    // then on.
    const QTransform t = painter.deviceTransform();
    const QRectF device = t.mapRect(target);
    if (cornerRadius_ <= 0 && t.type() <= QTransform::TxTranslate &&
        device == QRectF(device.toRect())) {
        // On whole pixels a plain rectangle needs no antialiasing: a straight fill, rather
        // than a path rasterised row by row (a window-sized backdrop's is the first paint's
        // largest).
        painter.fillRect(target, color);
        return;
    }
    if (cornerRadius_ <= 0 || t.type() > QTransform::TxTranslate || device.width() < 1 ||
        device.height() < 1) {
        QPainterPath path;
        path.addRoundedRect(target, cornerRadius_, cornerRadius_);
        painter.fillPath(path, color);
        return;
    }
    const QPointF offset(device.x() - std::floor(device.x()), device.y() - std::floor(device.y()));
    const QRectF shape(offset, device.size());
    if (shape_.isNull() || shapeRect_ != shape || shapeRadius_ != cornerRadius_ ||
        shapeColor_ != color) {
        shape_ = QImage(int(std::ceil(shape.right())), int(std::ceil(shape.bottom())),
                        QImage::Format_ARGB32_Premultiplied);
        shape_.fill(Qt::transparent);
        QPainter p(&shape_);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(shape, cornerRadius_, cornerRadius_);
        p.fillPath(path, color);
        shapeRect_ = shape;
        shapeRadius_ = cornerRadius_;
        shapeColor_ = color;
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(target.topLeft() - offset, shape_);
    painter.restore();
}

void Layer::render(QPainter& painter, const QRectF& target, bool upward,
                   const std::function<void(QPainter&)>& beforeSublayers) const {
    if (hidden_) return;
    upward_.store(upward, std::memory_order_relaxed);
    const double alpha = presentationOpacity();
    if (alpha <= 0) return;
    painter.save();
    painter.setOpacity(painter.opacity() * std::min(1.0, alpha));
    painter.setRenderHint(QPainter::Antialiasing);
    if (auto color = presentationBackgroundColor())
        fillBackground(painter, target, toQColor(*color));
    if (contents_) contents_->draw(painter, target);
    painter.save();
    painter.translate(target.topLeft());
    drawInContext(painter, QRectF(0, 0, target.width(), target.height()));
    painter.restore();
    if (beforeSublayers) beforeSublayers(painter);
    for (auto& sub : sublayers_) sub->render(painter, sublayerTarget(*sub, target, upward), upward);
    painter.restore();
}

}  // namespace wv
