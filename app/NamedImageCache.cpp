#include "app/NamedImageCache.h"

#include <QImage>
#include <QPainter>
#include <cmath>
#include <deque>
#include <memory>
#include <set>
#include <string>

#include "platform/ui/Image.h"

namespace wv {

namespace {

// The pictures of one image at the sizes it was last shown at; a few suffice (a key image
// is shown at a handful of sizes at most at one time).
class RenderedSizes {
  public:
    explicit RenderedSizes(ImagePtr original) : original_(std::move(original)) {}

    void draw(QPainter& painter, Size size) {
        const QTransform t = painter.deviceTransform();
        if (t.m12() != 0 || t.m21() != 0 || size.width <= 0 || size.height <= 0) {
            original_->draw(painter, QRectF(0, 0, size.width, size.height));
            return;
        }
        const double sx = std::abs(t.m11()), sy = std::abs(t.m22());
        const Entry& entry = entryFor(size, sx, sy);
        if (entry.picture.isNull()) return;  // nothing but transparent pixels
        // Made at the size it lands on the device (its pixel size rounded up) and drawn one
        // pixel to one pixel: a plain copy. Stretched by the fraction of a pixel the rounding
        // left, smoothing would resample every pixel on Qt's slow path, which splits a tall
        // picture over a pool of threads and waits for them on every paint.
        const double kx = entry.width / size.width, ky = entry.height / size.height;
        const QRect& c = entry.content;
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(QRectF(c.x() / kx, c.y() / ky, c.width() / sx, c.height() / sy),
                          entry.picture);
        painter.restore();
    }

  private:
    // A picture keeps only the rectangle of its pixels that are not transparent: the hands'
    // pictures are mostly empty, and every empty pixel would cost memory and a blend at every
    // repaint.
    struct Entry {
        Size size;
        int width, height;
        QRect content;   // in the pixels of the whole picture
        QImage picture;  // the content only; null when the picture is empty
    };

    static QRect contentOf(const QImage& image) {
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
        return bottom < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
    }

    const Entry& entryFor(Size size, double sx, double sy) {
        const int width = int(std::ceil(size.width * sx)),
                  height = int(std::ceil(size.height * sy));
        for (const Entry& e : entries_)
            if (e.size == size && e.width == width && e.height == height) return e;
        QImage picture(std::max(width, 1), std::max(height, 1),
                       QImage::Format_ARGB32_Premultiplied);
        picture.fill(Qt::transparent);
        {
            QPainter p(&picture);
            p.scale(double(width) / size.width, double(height) / size.height);
            original_->draw(p, QRectF(0, 0, size.width, size.height));
        }
        const QRect content = contentOf(picture);
        if (entries_.size() >= kKept) entries_.pop_front();
        entries_.push_back(
            {size, width, height, content, content.isEmpty() ? QImage() : picture.copy(content)});
        return entries_.back();
    }

    static constexpr size_t kKept = 6;
    ImagePtr original_;
    std::deque<Entry> entries_;
};

std::set<std::string>& cachedNames() {
    static std::set<std::string> names;
    return names;
}

}  // namespace

void cacheNamedImages() {
    // The backdrop's texture is drawn once, into the backdrop's own picture of the window's
    // size; a second picture of that size here would only double its memory.
    static const std::set<std::string> drawnOnceByTheirView{"bg"};
    for (const std::string& name : Image::registeredNames()) {
        if (cachedNames().count(name) || drawnOnceByTheirView.count(name)) continue;
        ImagePtr original = Image::named(name);
        if (!original) continue;
        auto sizes = std::make_shared<RenderedSizes>(original);
        Image::registerNamedLike(name, original,
                                 [sizes](QPainter& p, Size s) { sizes->draw(p, s); });
        cachedNames().insert(name);
    }
}

}  // namespace wv
