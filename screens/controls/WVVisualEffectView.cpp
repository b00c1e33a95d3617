#include "screens/controls/WVVisualEffectView.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <sys/mman.h>
#include <typeinfo>

#include "platform/dispatch/GlobalQueue.h"
#include "platform/ui/Bands.h"

namespace wv {

const Color& WVVisualEffectView::defaultFill() {
    static const Color color = Color::rgb(0.171875, 0.16796875, 0.19921875);
    return color;
}

WVVisualEffectView::WVVisualEffectView(const Rect& frame) : View(frame) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    layer()->setBackgroundColor(defaultFill());
}

WVVisualEffectView::~WVVisualEffectView() { dropAhead(); }

void WVVisualEffectView::viewWillMoveToWindow(Window* newWindow) {
    View::viewWillMoveToWindow(newWindow);
    transparentLayer->setOpacity(OPACITY);
    transparentLayer->setAutoresizingMask(Layer::WidthSizable | Layer::HeightSizable);
    transparentLayer->setContents(Image::named("bg"));
    transparentLayer->setFrame(bounds());
    if (wantsLayer()) layer()->addSublayer(transparentLayer);
    drawAhead(newWindow);
}

void WVVisualEffectView::frameSizeChanged(Size oldSize) {
    View::frameSizeChanged(oldSize);
    drawAhead(window());
}

bool WVVisualEffectView::fillsOpaquely() {
    if (!wantsLayer()) return false;
    const Layer& root = *layer();
    const auto fill = root.presentationBackgroundColor();
    return fill && fill->alpha >= 1 && !root.isHidden() && root.presentationOpacity() >= 1 &&
           root.cornerRadius() <= 0;
}

namespace {
constexpr int kCell = 32;

// Memory the kernel maps only where it is written: the picture's cells nobody asked for cost
// nothing.
QImage untouchedPicture(int width, int height) {
    const size_t bytes = size_t(width) * size_t(height) * 4;
    void* data = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (data == MAP_FAILED) return QImage(width, height, QImage::Format_RGB32);
    auto* mapping = new std::pair<void*, size_t>(data, bytes);
    return QImage(
        static_cast<uchar*>(data), width, height, width * 4, QImage::Format_RGB32,
        [](void* info) {
            auto* m = static_cast<std::pair<void*, size_t>*>(info);
            munmap(m->first, m->second);
            delete m;
        },
        mapping);
}
}  // namespace

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

// A fresh backing store holds garbage: black goes under a fill that lets it show through,
// nothing under one that covers it.
void WVVisualEffectView::drawLayers(QPainter& painter, const Layer& root, const QRect& area,
                                    QSize size, bool blackUnder, bool upward) {
    painter.save();
    painter.setClipRect(area, Qt::IntersectClip);
    if (blackUnder) painter.fillRect(area, Qt::black);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    root.render(painter, QRectF(QPointF(0, 0), QSizeF(size)), upward);
    painter.restore();
}

void WVVisualEffectView::drawDirectly(QPainter& painter, const QRect& area) {
    if (wantsLayer()) {
        drawLayers(painter, *layer(), area, size(), !fillsOpaquely(), !isFlipped());
    } else {
        painter.save();
        painter.setClipRect(area, Qt::IntersectClip);
        painter.fillRect(area, Qt::black);
        painter.restore();
    }
}

// The whole picture in bands a cell tall, each drawn through its own image over the shared
// pixels (a device takes one painter at a time), by whichever thread takes it first. It draws
// a copy of the view's layers, made on the main thread: nothing the main thread changes
// meanwhile is read.
class WVVisualEffectView::Ahead {
  public:
    Ahead(const Key& key, std::shared_ptr<Layer> root, bool blackUnder, bool upward)
        : key(key),
          picture_(untouchedPicture(key.width, key.height)),
          pixels_(picture_.bits()),
          root_(std::move(root)),
          blackUnder_(blackUnder),
          upward_(upward),
          bands_((key.height + kCell - 1) / kCell) {}

    const Key key;

    // Draws bands nobody has taken until none is left, or the picture is no longer wanted.
    void drawBands() {
        for (;;) {
            int band;
            {
                std::lock_guard lock(mutex_);
                if (cancelled_ || next_ == bands_) return;
                band = next_++;
                ++drawing_;
            }
            const int top = band * kCell, height = std::min(kCell, key.height - top);
            QImage part(pixels_ + size_t(top) * size_t(picture_.bytesPerLine()), key.width,
                        height, picture_.bytesPerLine(), picture_.format());
            {
                QPainter painter(&part);
                painter.translate(0, -top);
                drawLayers(painter, *root_, QRect(0, top, key.width, height),
                           QSize(key.width, key.height), blackUnder_, upward_);
            }
            std::lock_guard lock(mutex_);
            --drawing_;
            ++drawn_;
            finished_.notify_all();
        }
    }

    // Draws what is left alongside the pool, waits for the bands it is drawing, and hands the
    // picture over.
    QImage finish() {
        drawBands();
        std::unique_lock lock(mutex_);
        finished_.wait(lock, [this] { return drawn_ == bands_; });
        return picture_;
    }

    // No band is begun after this, and none is being drawn when it returns: the view, or the
    // program, may go away.
    void cancel() {
        std::unique_lock lock(mutex_);
        cancelled_ = true;
        finished_.wait(lock, [this] { return drawing_ == 0; });
    }

  private:
    QImage picture_;
    uchar* const pixels_;
    const std::shared_ptr<Layer> root_;
    const bool blackUnder_, upward_;
    const int bands_;
    std::mutex mutex_;
    std::condition_variable finished_;
    int next_ = 0, drawing_ = 0, drawn_ = 0;
    bool cancelled_ = false;
};

namespace {
// A layer that draws nothing of its own beyond what its properties say, and does not move:
// a copy made from its properties draws the same pixels.
bool copiable(const Layer& layer) {
    return typeid(layer) == typeid(Layer) && layer.animationKeys().empty();
}

std::shared_ptr<Layer> copyOf(const Layer& layer) {
    auto copy = std::make_shared<Layer>();
    copy->setFrame(layer.frame());
    copy->setHidden(layer.isHidden());
    copy->setOpacity(layer.opacity());
    copy->setBackgroundColor(layer.backgroundColor());
    copy->setCornerRadius(layer.cornerRadius());
    copy->setContents(layer.contents());
    return copy;
}
}  // namespace

void WVVisualEffectView::drawAhead(Window* window) {
    dropAhead();
    if (painted_ || window == nullptr || !wantsLayer()) return;
    const Key key = currentKey();
    const Layer& root = *layer();
    if (key.width <= 0 || key.height <= 0 || !copiable(root) ||
        root.sublayers() != std::vector<std::shared_ptr<Layer>>{transparentLayer} ||
        !copiable(*transparentLayer) || !transparentLayer->sublayers().empty())
        return;
    auto tree = copyOf(root);
    tree->addSublayer(copyOf(*transparentLayer));
    ahead_ = std::make_shared<Ahead>(key, std::move(tree), !fillsOpaquely(), !isFlipped());
    // Two threads of the pool besides the main thread, which joins in at the paint.
    for (int i = 0; i < 2; ++i)
        GlobalQueue::shared().async([ahead = ahead_] { ahead->drawBands(); });
}

void WVVisualEffectView::dropAhead() {
    if (ahead_) ahead_->cancel();
    ahead_.reset();
}

// The parts asked for in one paint (the keyboard and each of its keys share cells) count as
// asked before only once that paint is over.
bool WVVisualEffectView::askedBefore(const QRect& area) {
    painted_ = true;
    const Key key = currentKey();
    if (ahead_ && !(ahead_->key == key)) dropAhead();
    if (!(key == pictureKey_) || picture_.isNull()) {
        picture_ = untouchedPicture(std::max(1, key.width), std::max(1, key.height));
        columns_ = (picture_.width() + kCell - 1) / kCell;
        const size_t cells = size_t(columns_) * ((picture_.height() + kCell - 1) / kCell);
        askedCells_.assign(cells, Asked::Never);
        drawnCells_.assign(cells, false);
        firstPicture_ = QImage();
        firstDrawnCells_.clear();
        pictureKey_ = key;
    }
    const QRect part = area & picture_.rect();
    bool before = !part.isEmpty();
    for (int row = part.top() / kCell; row <= part.bottom() / kCell; ++row)
        for (int column = part.left() / kCell; column <= part.right() / kCell; ++column) {
            Asked& cell = askedCells_[size_t(row * columns_ + column)];
            if (cell == Asked::Before) continue;
            before = false;
            if (cell == Asked::Never && !settling_) {
                settling_ = true;
                QMetaObject::invokeMethod(
                    this,
                    [this] {
                        settling_ = false;
                        firstPicture_ = QImage();  // gives its memory back
                        firstDrawnCells_.clear();
                        std::replace(askedCells_.begin(), askedCells_.end(), Asked::InThisPaint,
                                     Asked::Before);
                    },
                    Qt::QueuedConnection);
            }
            cell = Asked::InThisPaint;
        }
    return before;
}

void WVVisualEffectView::drawCells(QImage& picture, std::vector<bool>& drawn, const QRect& area) {
    const QRect part = area & picture.rect();
    if (part.isEmpty()) return;
    std::optional<QPainter> painter;
    const int first = part.left() / kCell, last = part.right() / kCell;
    for (int row = part.top() / kCell; row <= part.bottom() / kCell; ++row) {
        auto cells = drawn.begin() + row * columns_;
        for (int column = first; column <= last;) {
            if (cells[column]) {
                ++column;
                continue;
            }
            int end = column;
            while (end < last && !cells[end + 1]) ++end;
            if (!painter) painter.emplace(&picture);
            drawDirectly(*painter, QRect(column * kCell, row * kCell, (end - column + 1) * kCell, kCell));
            std::fill(cells + column, cells + end + 1, true);
            column = end + 1;
        }
    }
}

const QImage& WVVisualEffectView::pictureOf(const QRect& area) {
    drawCells(picture_, drawnCells_, area);
    return picture_;
}

const QImage& WVVisualEffectView::firstPictureOf(const QRect& area) {
    if (firstPicture_.size() != picture_.size()) {
        if (ahead_) {
            firstPicture_ = ahead_->finish();
            firstDrawnCells_.assign(drawnCells_.size(), true);
            ahead_.reset();
        } else {
            firstPicture_ = untouchedPicture(picture_.width(), picture_.height());
            firstDrawnCells_.assign(drawnCells_.size(), false);
        }
    }
    drawCells(firstPicture_, firstDrawnCells_, area);
    return firstPicture_;
}

size_t WVVisualEffectView::keptPixels() const {
    const auto drawn = [](const std::vector<bool>& cells) {
        return size_t(std::count(cells.begin(), cells.end(), true));
    };
    return (drawn(drawnCells_) + drawn(firstDrawnCells_)) * kCell * kCell;
}

// The region of several rectangles the line and the indicators leave is drawn in bands, or
// Qt would hand tall fills and copies to its thread pool and wait.
void WVVisualEffectView::paintEvent(QPaintEvent* event) {
    constexpr int kRows = 48;
    QPainter painter(this);
    for (const QRect& band : bandsOf(event->region(), kRows)) {
        const QImage& picture = askedBefore(band) ? pictureOf(band) : firstPictureOf(band);
        painter.drawImage(QRectF(band), picture, QRectF(band));
    }
}

void WVVisualEffectView::drawArea(QPainter& painter, const QRectF& target, const QRect& area) {
    const QImage& picture = askedBefore(area) ? pictureOf(area) : firstPictureOf(area);
    painter.drawImage(target, picture, QRectF(area));
}

}  // namespace wv
