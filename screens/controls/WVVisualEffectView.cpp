#include "screens/controls/WVVisualEffectView.h"

#include <QPainter>
#include <cmath>

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

void WVVisualEffectView::paintEvent(QPaintEvent*) {
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
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), cache_);
}

}  // namespace wv
