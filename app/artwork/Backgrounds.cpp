// Backgrounds: the texture of the translucent backdrop view.
#include <QLinearGradient>
#include <QRadialGradient>

#include "app/artwork/ArtworkParts.h"
#include "app/artwork/Drawing.h"
#include "app/artwork/Palette.h"
#include "platform/ui/Image.h"

namespace wv::artwork {

void registerBackgrounds() {
    using namespace palette;
    // A soft blue-violet glow over the window's colour with a fine diagonal weave; shown at
    // 40 % opacity over the typing screen, so it only tints.
    Image::registerNamed("bg", Size{256, 256}, [](QPainter& p, Size s) {
        const QRectF r = area(s);
        QLinearGradient base(r.topLeft(), r.bottomRight());
        base.setColorAt(0, kWindow.lighter(125));
        base.setColorAt(1, kWindow.darker(115));
        p.fillRect(r, base);
        QRadialGradient glow(QPointF(r.width() * 0.3, r.height() * 0.25), r.width() * 0.8);
        glow.setColorAt(0, QColor(74, 144, 226, 70));
        glow.setColorAt(1, QColor(74, 144, 226, 0));
        p.fillRect(r, glow);
        p.setPen(QPen(QColor(255, 255, 255, 10), 1));
        for (double x = -r.height(); x < r.width(); x += 6) p.drawLine(QPointF(x, r.height()), QPointF(x + r.height(), 0));
    });
}

}  // namespace wv::artwork
