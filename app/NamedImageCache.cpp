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
        const QImage& picture = pictureFor(size, sx, sy);
        // Made at the size it lands on the device: drawn one pixel to one pixel it is a plain
        // copy, where smoothing would have every pixel resampled.
        const bool oneToOne = std::abs(picture.width() - size.width * sx) < 0.01 &&
                              std::abs(picture.height() - size.height * sy) < 0.01;
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform, !oneToOne);
        painter.drawImage(QRectF(0, 0, size.width, size.height), picture);
        painter.restore();
    }

  private:
    struct Entry {
        Size size;
        int width, height;
        QImage picture;
    };

    const QImage& pictureFor(Size size, double sx, double sy) {
        const int width = int(std::ceil(size.width * sx)),
                  height = int(std::ceil(size.height * sy));
        for (const Entry& e : entries_)
            if (e.size == size && e.width == width && e.height == height) return e.picture;
        QImage picture(std::max(width, 1), std::max(height, 1),
                       QImage::Format_ARGB32_Premultiplied);
        picture.fill(Qt::transparent);
        {
            QPainter p(&picture);
            p.scale(double(width) / size.width, double(height) / size.height);
            original_->draw(p, QRectF(0, 0, size.width, size.height));
        }
        if (entries_.size() >= kKept) entries_.pop_front();
        entries_.push_back({size, width, height, std::move(picture)});
        return entries_.back().picture;
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
        Image::registerNamed(name, original->size(),
                             [sizes](QPainter& p, Size s) { sizes->draw(p, s); });
        cachedNames().insert(name);
    }
}

}  // namespace wv
