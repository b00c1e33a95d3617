#include "app/KeyFaceCache.h"

#include <QPaintDevice>
#include <QPainter>
#include <cmath>

#include "app/UIScale.h"
#include "platform/ui/Button.h"

namespace wv {

void KeyFaceCache::draw(QPainter& painter, Button& button, bool titleShown) {
    const Size size = button.frame().size;
    if (size.width <= 0 || size.height <= 0) return;
    double density = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    density *= std::max(std::fabs(painter.worldTransform().m11()),
                        std::fabs(painter.worldTransform().m22()));
    const Look look{
        button.currentImage(), titleShown ? button.attributedTitle() : AttributedString(),
        button.alignment(),    size,
        uiScaleFactor(),       density,
        button.isEnabled()};
    if (!look_ || !(*look_ == look)) {
        pixels_ =
            QImage(int(std::ceil(size.width * density)), int(std::ceil(size.height * density)),
                   QImage::Format_ARGB32_Premultiplied);
        pixels_.setDevicePixelRatio(density);
        pixels_.fill(Qt::transparent);
        QPainter face(&pixels_);
        face.setRenderHint(QPainter::Antialiasing);
        face.setRenderHint(QPainter::SmoothPixmapTransform);
        button.cell().drawWithFrame(face, button.bounds(), button);
        look_ = look;
    }
    // Drawn at its own pixel size: a scaled drawing would take the slow, smoothing path.
    painter.drawImage(QPointF(0, 0), pixels_);
}

}  // namespace wv
