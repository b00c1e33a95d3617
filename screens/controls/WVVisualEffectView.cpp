#include "screens/controls/WVVisualEffectView.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <sys/mman.h>

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

void WVVisualEffectView::viewWillMoveToWindow(Window* newWindow) {
    View::viewWillMoveToWindow(newWindow);
    transparentLayer->setOpacity(OPACITY);
    transparentLayer->setAutoresizingMask(Layer::WidthSizable | Layer::HeightSizable);
    transparentLayer->setContents(Image::named("bg"));
    transparentLayer->setFrame(bounds());
    if (wantsLayer()) layer()->addSublayer(transparentLayer);
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
void WVVisualEffectView::drawDirectly(QPainter& painter, const QRect& area) {
    painter.save();
    painter.setClipRect(area, Qt::IntersectClip);
    if (!fillsOpaquely()) painter.fillRect(area, Qt::black);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (wantsLayer()) layer()->render(painter, QRectF(0, 0, width(), height()), !isFlipped());
    painter.restore();
}

// The parts asked for in one paint (the keyboard and each of its keys share cells) count as
// asked before only once that paint is over.
bool WVVisualEffectView::askedBefore(const QRect& area) {
    const Key key = currentKey();
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
        firstPicture_ = untouchedPicture(picture_.width(), picture_.height());
        firstDrawnCells_.assign(drawnCells_.size(), false);
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
