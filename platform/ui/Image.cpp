#include "platform/ui/Image.h"

#include <QPainter>
#include <algorithm>
#include <map>
#include <mutex>

namespace wv {

namespace {
struct Registry {
    std::mutex mutex;
    std::map<std::string, ImagePtr, std::less<>> images;
    std::vector<std::string> order;
};
Registry& registry() {
    static Registry r;
    return r;
}
}  // namespace

Image::Image(Size size, Painter painter, std::string name)
    : size_(size), painter_(std::move(painter)), name_(std::move(name)) {}

Image::Image(QImage pixels, double scale)
    : size_{pixels.width() / scale, pixels.height() / scale}, pixels_(std::move(pixels)) {}

void Image::draw(QPainter& painter, const QRectF& target, double opacity) const {
    if (target.isEmpty()) return;
    painter.save();
    painter.setOpacity(painter.opacity() * opacity);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (painter_) {
        painter.translate(target.topLeft());
        painter.setClipRect(QRectF(QPointF(0, 0), target.size()), Qt::IntersectClip);
        painter_(painter, Size{target.width(), target.height()});
    } else if (!pixels_.isNull()) {
        painter.drawImage(target, pixels_);
    }
    painter.restore();
}

QImage Image::render(double scale, Size size) const {
    if (size.width <= 0 || size.height <= 0) size = size_;
    QImage image(int(std::ceil(size.width * scale)), int(std::ceil(size.height * scale)),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    draw(painter, QRectF(0, 0, size.width, size.height));
    return image;
}

Rect Image::drawnBounds() const {
    if (outlineOf_) return outlineOf_->drawnBounds();
    if (boundsKnown_.load(std::memory_order_acquire)) return drawnBounds_;
    std::call_once(boundsFound_, [this] {
        if (!painter_ || size_.width <= 0 || size_.height <= 0) {
            drawnBounds_ = Rect(0, 0, size_.width, size_.height);
            boundsKnown_.store(true, std::memory_order_release);
            return;
        }
        const QImage image = render(1.0);
        int top = image.height(), bottom = -1, left = image.width(), right = -1;
        for (int y = 0; y < image.height(); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if (qAlpha(row[x]) == 0) continue;
                top = std::min(top, y);
                bottom = y;
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
        // Whole pixels: the picture's edges may fall anywhere inside them.
        drawnBounds_ = bottom < 0 ? Rect() : Rect(left, top, right + 1 - left, bottom + 1 - top);
        boundsKnown_.store(true, std::memory_order_release);
    });
    return drawnBounds_;
}

namespace {
void addNamed(const std::string& name, ImagePtr image) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    if (r.images.find(name) == r.images.end()) r.order.push_back(name);
    r.images[name] = std::move(image);
}
}  // namespace

void Image::registerNamed(std::string name, Size size, Painter painter) {
    addNamed(name, std::make_shared<const Image>(size, std::move(painter), name));
}

void Image::registerNamedLike(std::string name, ImagePtr original, Painter painter,
                              Preparer preparer) {
    if (!original) return;
    auto image = std::make_shared<Image>(original->size(), std::move(painter), name);
    image->preparer_ = std::move(preparer);
    // The original's own outline, should it too be drawn another way.
    image->outlineOf_ = original->outlineOf_ ? original->outlineOf_ : original;
    addNamed(name, std::move(image));
}

void Image::registerNamed(std::string name, Size size, Painter painter, Rect drawnBounds) {
    auto image = std::make_shared<Image>(size, std::move(painter), name);
    image->drawnBounds_ = drawnBounds;
    image->boundsKnown_.store(true, std::memory_order_release);
    addNamed(name, std::move(image));
}

ImagePtr Image::named(std::string_view name) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.images.find(name);
    return it == r.images.end() ? nullptr : it->second;
}

std::vector<std::string> Image::registeredNames() {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    return r.order;
}

}  // namespace wv
