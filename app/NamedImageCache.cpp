#include "app/NamedImageCache.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/dispatch/GlobalQueue.h"
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

    // Has the picture at `size` drawn on a thread of the pool, for the paint to take.
    void prepare(Size size, double scale) {
        if (size.width <= 0 || size.height <= 0 || scale <= 0) return;
        const int width = pixels(size.width, scale), height = pixels(size.height, scale);
        for (const Entry& e : entries_)
            if (e.size == size && e.width == width && e.height == height) return;
        for (const auto& job : jobs_)
            if (job->size == size && job->width == width && job->height == height) return;
        // A view asks for its size as it is laid out; an earlier size of the same picture is
        // not what it will paint.
        for (const auto& job : jobs_) job->drop();
        jobs_.clear();
        auto job = std::make_shared<Job>(size, width, height);
        jobs_.push_back(job);
        GlobalQueue::shared().async([job, original = original_] { job->run(*original); });
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

    // A picture drawn by whichever comes first: a thread of the pool, or the paint that needs
    // it (which then waits only for one the pool has begun).
    class Job {
      public:
        Job(Size size, int width, int height) : size(size), width(width), height(height) {}
        const Size size;
        const int width, height;

        void run(const Image& original) {
            if (!claim()) return;
            Entry entry = render(original, size, width, height);
            std::lock_guard lock(mutex_);
            entry_ = std::move(entry);
            done_ = true;
            finished_.notify_all();
        }

        Entry take(const Image& original) {
            if (claim()) return render(original, size, width, height);
            std::unique_lock lock(mutex_);
            finished_.wait(lock, [this] { return done_; });
            return std::move(entry_);
        }

        // Not begun by then, it never is.
        void drop() { claim(); }

      private:
        bool claim() {
            std::lock_guard lock(mutex_);
            if (claimed_) return false;
            claimed_ = true;
            return true;
        }
        std::mutex mutex_;
        std::condition_variable finished_;
        bool claimed_ = false, done_ = false;
        Entry entry_;
    };

    static int pixels(double points, double scale) { return int(std::ceil(points * scale)); }

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

    // Draws only with what it is given: it runs on the pool's threads too.
    static Entry render(const Image& original, Size size, int width, int height) {
        QImage picture(std::max(width, 1), std::max(height, 1),
                       QImage::Format_ARGB32_Premultiplied);
        picture.fill(Qt::transparent);
        {
            QPainter p(&picture);
            p.scale(double(width) / size.width, double(height) / size.height);
            original.draw(p, QRectF(0, 0, size.width, size.height));
        }
        const QRect content = contentOf(picture);
        return {size, width, height, content,
                content.isEmpty() ? QImage() : picture.copy(content)};
    }

    const Entry& entryFor(Size size, double sx, double sy) {
        const int width = pixels(size.width, sx), height = pixels(size.height, sy);
        for (const Entry& e : entries_)
            if (e.size == size && e.width == width && e.height == height) return e;
        Entry entry;
        auto job = std::find_if(jobs_.begin(), jobs_.end(), [&](const auto& j) {
            return j->size == size && j->width == width && j->height == height;
        });
        if (job != jobs_.end()) {
            entry = (*job)->take(*original_);
            jobs_.erase(job);
        } else {
            entry = render(*original_, size, width, height);
        }
        if (entries_.size() >= kKept) entries_.pop_front();
        entries_.push_back(std::move(entry));
        return entries_.back();
    }

    static constexpr size_t kKept = 6;
    ImagePtr original_;
    std::deque<Entry> entries_;
    std::vector<std::shared_ptr<Job>> jobs_;
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
        Image::registerNamedLike(
            name, original, [sizes](QPainter& p, Size s) { sizes->draw(p, s); },
            [sizes](Size s, double scale) { sizes->prepare(s, scale); });
        cachedNames().insert(name);
    }
}

}  // namespace wv
