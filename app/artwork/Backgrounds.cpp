// Backgrounds: the texture of the translucent backdrop view.
#include <QLinearGradient>
#include <QRadialGradient>
#include <QTransform>
#include <cmath>

#include "app/artwork/ArtworkParts.h"
#include "app/artwork/Drawing.h"
#include "app/artwork/Palette.h"
#include "platform/ui/Image.h"

namespace wv::artwork {

namespace {
// The weave: white lines a point wide, rising at 45 degrees through every point whose two
// coordinates add up to a whole number of steps.
constexpr int kWeaveStep = 6;
const QColor kWeaveColour(255, 255, 255, 10);

void drawWeaveLines(QPainter& p, const QRectF& r) {
    p.setPen(QPen(kWeaveColour, 1));
    for (double x = -r.height(); x < r.width(); x += kWeaveStep)
        p.drawLine(QPointF(x, r.height()), QPointF(x + r.height(), 0));
}

// The weave repeats every step across and down: one tile of it, a whole number of steps
// square, in the picture's own coordinates. Its lines run past the tile's edges, so none ends
// inside it.
const QImage& weaveTile() {
    static const QImage tile = [] {
        constexpr int kSize = 8 * kWeaveStep;
        QImage image(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter t(&image);
        t.setRenderHint(QPainter::Antialiasing);
        t.setPen(QPen(kWeaveColour, 1));
        for (int sum = -kWeaveStep; sum <= 2 * kSize + kWeaveStep; sum += kWeaveStep)
            t.drawLine(QPointF(sum - kSize - kWeaveStep, kSize + kWeaveStep),
                       QPointF(sum + kWeaveStep, -kWeaveStep));
        return image;
    }();
    return tile;
}

// Laid on whole pixels, the tiles draw the lines' very pixels (to a level of rounding): some
// three hundred antialiased lines across a window cost more than the rest of its backdrop.
void drawWeave(QPainter& p, const QRectF& r) {
    const QTransform t = p.deviceTransform();
    const bool wholePixels = t.type() <= QTransform::TxTranslate && t.dx() == std::round(t.dx()) &&
                             t.dy() == std::round(t.dy());
    if (!wholePixels) {
        drawWeaveLines(p, r);
        return;
    }
    p.setBrushOrigin(0, 0);
    p.fillRect(r, QBrush(weaveTile()));
}
}  // namespace

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
        drawWeave(p, r);
    });
}

}  // namespace wv::artwork
