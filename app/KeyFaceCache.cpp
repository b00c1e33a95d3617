#include "app/KeyFaceCache.h"

#include <QPaintDevice>
#include <QPainter>
#include <cmath>
#include <vector>

#include "app/UIScale.h"
#include "platform/ui/Button.h"

namespace wv {

QImage KeyFaceCache::drawFace(Button& button, Size size, double density) {
    QImage pixels(int(std::ceil(size.width * density)), int(std::ceil(size.height * density)),
                  QImage::Format_ARGB32_Premultiplied);
    pixels.setDevicePixelRatio(density);
    pixels.fill(Qt::transparent);
    {
        QPainter face(&pixels);
        face.setRenderHint(QPainter::Antialiasing);
        face.setRenderHint(QPainter::SmoothPixmapTransform);
        button.cell().drawWithFrame(face, button.bounds(), button);
    }
    return pixels;
}

QImage KeyFaceCache::sharedFace(Button& button, const Look& look) {
    static std::vector<Shared> faces;
    const bool dims = button.imageDimsWhenDisabled();
    const ImageScaling scaling = button.imageScaling();
    for (const Shared& face : faces)
        if (face.look == look && face.dims == dims && face.scaling == scaling) return face.pixels;
    // A face no key holds any more (keys resized, the keyboard gone) is not kept.
    std::erase_if(faces, [](const Shared& face) { return face.pixels.isDetached(); });
    faces.push_back({look, dims, scaling, drawFace(button, look.size, look.density)});
    return faces.back().pixels;
}

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
        pixels_ = QImage();  // its share of a face it no longer shows
        pixels_ = titleShown ? drawFace(button, size, density) : sharedFace(button, look);
        look_ = look;
    }
    // Drawn at its own pixel size: a scaled drawing would take the slow, smoothing path.
    painter.drawImage(QPointF(0, 0), pixels_);
}

}  // namespace wv
