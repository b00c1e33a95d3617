#include "app/TitleLayer.h"

#include <QPaintDevice>
#include <QPainter>
#include <cmath>

#include "app/TextHelpers.h"
#include "platform/ui/Graphics.h"

namespace wv {

namespace {
constexpr int kInkRoom = 3;  // pixels

// The used rectangle `used` of a caption moved to the middle of a layer of `size`.
Rect centred(const Rect& used, Size size) {
    return Rect((size.width - used.width()) * 0.5, (size.height - used.height()) * 0.5,
                used.width(), used.height());
}
}  // namespace

Rect TitleLayer::captionRect(const AttributedString& text, Size size) {
    return centred(usedTextRect(text, size.width, size.height), size);
}

void TitleLayer::drawInContext(QPainter& painter, const QRectF& local) const {
    if (!attrStr || attrStr->empty() || local.isEmpty()) return;
    double density = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    density *= std::max(std::fabs(painter.worldTransform().m11()),
                        std::fabs(painter.worldTransform().m22()));
    const int w = int(std::ceil(local.width() * density)),
              h = int(std::ceil(local.height() * density));
    if (cache_.isNull() || cachedFor_ != QSize(w, h) || cachedText_ != attrStr) {
        const Size size{local.width(), local.height()};
        const Rect used = usedTextRect(*attrStr, size.width, size.height);
        // Measured once: laying the text out costs as much as drawing it.
        const Rect at = centred(used, size);
        // Whole pixels around the caption, with room for ink beyond its line (accents, a
        // swash), so the picture's pixels fall where the layer's would.
        const QRect pixels =
            QRectF(at.x() * density, at.y() * density, at.width() * density, at.height() * density)
                .toAlignedRect()
                .adjusted(-kInkRoom, -kInkRoom, kInkRoom, kInkRoom) &
            QRect(0, 0, w, h);
        cache_ = QImage(pixels.size().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
        cache_.setDevicePixelRatio(density);
        cache_.fill(Qt::transparent);
        QPainter picture(&cache_);
        picture.translate(-pixels.x() / density, -pixels.y() / density);
        // Laid out at the layer's width, so only the used rectangle's offset needs undoing.
        Graphics::drawText(picture, *attrStr,
                           Rect(at.x() - used.x(), at.y() - used.y(), size.width, size.height),
                           false);
        cacheAt_ = pixels.topLeft();
        cachedFor_ = QSize(w, h);
        cachedText_ = attrStr;
    }
    painter.drawImage(local.topLeft() + QPointF(cacheAt_) / density, cache_);
}

}  // namespace wv
