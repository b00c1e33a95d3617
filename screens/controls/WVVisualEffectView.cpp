#include "screens/controls/WVVisualEffectView.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "platform/ui/Bands.h"

namespace wv {

const Color& WVVisualEffectView::defaultFill() {
    static const Color color = Color::rgb(0.171875, 0.16796875, 0.19921875);
    return color;
}

WVVisualEffectView::WVVisualEffectView(const Rect& frame) : View(frame) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    layer()->setBackgroundColor(defaultFill());
}

void WVVisualEffectView::viewWillMoveToWindow(Window* newWindow) {
    View::viewWillMoveToWindow(newWindow);
    transparentLayer->setOpacity(OPACITY);
    transparentLayer->setAutoresizingMask(Layer::WidthSizable | Layer::HeightSizable);
    transparentLayer->setContents(Image::named("bg"));
    transparentLayer->setFrame(bounds());
    if (wantsLayer()) layer()->addSublayer(transparentLayer);
}

WVVisualEffectView::Key WVVisualEffectView::currentKey() {
    Key key;
    key.width = int(std::ceil(bounds().width()));
    key.height = int(std::ceil(bounds().height()));
    if (wantsLayer()) {
        key.fill = layer()->backgroundColor();
        key.sublayers = layer()->sublayers().size();
    }
    key.contents = transparentLayer->contents().get();
    key.opacity = transparentLayer->opacity();
    return key;
}

bool WVVisualEffectView::fillsOpaquely() {
    if (!wantsLayer()) return false;
    const Layer& root = *layer();
    const auto fill = root.presentationBackgroundColor();
    return fill && fill->alpha >= 1 && !root.isHidden() && root.presentationOpacity() >= 1 &&
           root.cornerRadius() <= 0;
}

const QImage& WVVisualEffectView::picture() {
    const Key key = currentKey();
    if (!(key == cacheKey_) || cache_.isNull()) {
        cache_ = QImage(std::max(1, key.width), std::max(1, key.height), QImage::Format_RGB32);
        // A fresh picture holds garbage: black under a fill that lets it show through, nothing
        // under one that covers it (a pass over the whole window saved at the first paint).
        if (!fillsOpaquely()) cache_.fill(Qt::black);
        QPainter p(&cache_);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        if (wantsLayer()) layer()->render(p, QRectF(0, 0, key.width, key.height), !isFlipped());
        cacheKey_ = key;
    }
    return cache_;
}

// The line and the indicators changing in front leave a region of several rectangles: the
// picture goes in bands, or Qt would hand a tall copy to its thread pool and wait.
void WVVisualEffectView::paintEvent(QPaintEvent* event) {
    constexpr int kRows = 48;
    const QImage& image = picture();
    QPainter painter(this);
    for (const QRect& band : bandsOf(event->region(), kRows))
        painter.drawImage(QRectF(band), image, QRectF(band));
}

void WVVisualEffectView::drawArea(QPainter& painter, const QRectF& target, const QRect& area) {
    painter.drawImage(target, picture(), QRectF(area));
}

}  // namespace wv
