#include "screens/statistics/WVDiagrammView.h"

#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "engine/Model.h"
#include "platform/foundation/Random.h"
#include "platform/ui/Application.h"
#include "platform/ui/Graphics.h"
#include "platform/ui/QtConvert.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/Window.h"
#include "screens/statistics/WVLessonDetailsViewController.h"
#include "storage/VisualConstants.h"

namespace wv::screens {

namespace {

constexpr double kPitch = 11.0;
constexpr double kTypoBand = 30.0;
constexpr double kSpeedBase = 31.0;
// The bar pictures: rounded ends of kBarCap points, stretched in between.
constexpr double kBarCap = 4.0;
constexpr double kBarPictureHeight = 3 * kBarCap;

// Whole number nearest to x, halves away from zero.
double nint(double x) { return std::round(x); }

// The smallest rectangle holding both, zero-high bars included: the selection frame is
// stroked around a bar of no height too, and must be redrawn with it.
Rect bounding(const Rect& a, const Rect& b) {
    const double x0 = std::min(a.minX(), b.minX()), y0 = std::min(a.minY(), b.minY());
    return Rect(x0, y0, std::max(a.maxX(), b.maxX()) - x0, std::max(a.maxY(), b.maxY()) - y0);
}

}  // namespace

WVDiagrammView::WVDiagrammView(const Rect& frame) : View(frame) { setTracksMouse(true); }

int WVDiagrammView::columnCount() const {
    return int(randomTypos.size()) + (lessons ? int(lessons->size()) : 0);
}

const LessonInfo* WVDiagrammView::lessonAt(int column) const {
    const int j = column - int(randomTypos.size());
    if (!lessons || j < 0 || j >= int(lessons->size())) return nullptr;
    return (*lessons)[size_t(j)].get();
}

int WVDiagrammView::typoValue(int column) const {
    if (column >= 0 && column < int(randomTypos.size())) return randomTypos[size_t(column)];
    const LessonInfo* lesson = lessonAt(column);
    return lesson ? lesson->mistypesCount : 0;
}

int WVDiagrammView::speedValue(int column) const {
    if (column >= 0 && column < int(randomSpeeds.size())) return randomSpeeds[size_t(column)];
    const LessonInfo* lesson = lessonAt(column);
    return lesson ? displaySpeed(lesson->speedCPM) : 0;
}

int WVDiagrammView::speedBand() const { return std::max(0, int(nint(frame().height() - 60))); }

Rect WVDiagrammView::typosBarRect(int column) const {
    // Negative counts from a damaged row draw nothing rather than a bar pointing upward.
    const int value = std::max(0, typoValue(column));
    const double h = maxTyposCount > 0 ? std::trunc(double(value) / maxTyposCount * kTypoBand) : 0;
    return Rect(kPitch * column, kTypoBand - h, barWidth, h);
}

Rect WVDiagrammView::speedBarRect(int column) const {
    const int value = std::max(0, speedValue(column));
    const double h = maxSpeed > 0 ? std::trunc(speedBand() * (double(value) / maxSpeed)) : 0;
    return Rect(kPitch * column, kSpeedBase, barWidth, h);
}

double WVDiagrammView::diagramWidth() const {
    const ScrollView* scroll = ScrollView::enclosing(this);
    const double w = scroll ? scroll->frame().width() : 0;
    const double n = lessons ? double(lessons->size()) : 0;
    return std::max(kPitch * n, (w + 50) - std::fmod(w + 50, kPitch));
}

int WVDiagrammView::placeholderCount() const {
    const double n = lessons ? double(lessons->size()) : 0;
    return int(std::trunc(diagramWidth() / kPitch - n));
}

void WVDiagrammView::generateRandomBars() {
    setSelectedIndex(0);
    selectedLesson.reset();
    randomTypos.clear();
    randomSpeeds.clear();
    const int count = placeholderCount();
    if (count <= 0) return;
    randomTypos.reserve(size_t(count));
    randomSpeeds.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        randomTypos.push_back(int(randomUniform(uint32_t(std::max(0, maxTyposCount)))));
        // Below 60 points high there is no speed band: a bound of 0 or less gives 0.
        const int bound = std::min(speedBand(), maxSpeed);
        randomSpeeds.push_back(bound > 0 ? int(randomUniform(uint32_t(bound))) : 0);
    }
}

Rect WVDiagrammView::selectionChangeRect(int from, int to) const {
    const Rect a = bounding(typosBarRect(from), speedBarRect(from));
    const Rect b = bounding(typosBarRect(to), speedBarRect(to));
    return bounding(a, b).insetBy(-1.0, -1.0);
}

void WVDiagrammView::setSelectedIndex(int index) {
    if (index == selectedIndex_) return;
    const int old = selectedIndex_;
    selectedIndex_ = index;
    setNeedsDisplayInRect(selectionChangeRect(old, index));
}

void WVDiagrammView::scrollToEnd() {
    generateRandomBars();
    ScrollView* scroll = ScrollView::enclosing(this);
    if (!scroll || !scroll->documentView()) return;
    View* document = scroll->documentView();
    document->setNeedsDisplay();
    scroll->scrollToPoint(Point{document->frame().width() - scroll->bounds().width(), 0});
}

void WVDiagrammView::draw(QPainter& painter, const Rect& dirtyRect) {
    drawBars(painter, dirtyRect);
    drawSelection(painter);
}

void WVDiagrammView::drawBars(QPainter& painter, const Rect& dirtyRect) {
    if (!lessons) generateRandomBars();
    const int k = int(randomTypos.size());
    const int last = columnCount() - 1;
    // Only the columns the dirty rectangle touches: a diagram of many records is far wider
    // than anything on screen.
    const int first = std::max(0, int(std::floor(dirtyRect.minX() / kPitch)));
    const int end = std::min(last, int(std::ceil(dirtyRect.maxX() / kPitch)) - 1);
    for (int i = first; i <= end; ++i) {
        const Rect typos = typosBarRect(i);
        if (typos.height() != 0)
            drawImageNamed(painter, i < k ? "bar" : "barErrors", typos,
                           QPainter::CompositionMode_SourceOver);
        drawSpeedBar(painter, i);
    }
}

void WVDiagrammView::drawSpeedBar(QPainter& painter, int column) {
    const Rect rect = speedBarRect(column);
    const LessonInfo* lesson = lessonAt(column);
    if (!lesson) {
        if (rect.height() != 0 && column < int(randomSpeeds.size()))
            drawImageNamed(painter, "bar", rect, QPainter::CompositionMode_SourceOver);
        return;
    }
    const int last = int(lessonBars.size()) - 1;
    const int index = std::clamp(lesson->difficulty, 0, last);
    if (rect.height() != 0)
        drawImageNamed(painter, lessonBars[size_t(index)], rect,
                       QPainter::CompositionMode_SourceOver);
    if (lesson->isCapitalsOn || lesson->isNumbersOn || lesson->isPunctuationOn) {
        const ImagePtr dot = Image::named("dot");
        const Size size = dot ? dot->size() : Size{6, 6};
        const Rect at(rect.minX() + (rect.width() - size.width) * 0.5,
                      rect.maxY() - size.height - 2.0, size.width, size.height);
        drawImageNamed(painter, "dot", at, QPainter::CompositionMode_SourceAtop);
    }
}

void WVDiagrammView::drawSelection(QPainter& painter) {
    painter.save();
    painter.setPen(QPen(toQColor(selectionColor), 1.0));
    painter.setBrush(Qt::NoBrush);
    for (const Rect& r : {typosBarRect(selectedIndex_), speedBarRect(selectedIndex_)}) {
        QPainterPath path;
        path.addRoundedRect(toQRectF(r), 2.0, 2.0);
        painter.drawPath(path);
    }
    painter.restore();
}

const QImage* WVDiagrammView::barPicture(const std::string& name, double width, double scale) {
    const int pixels = int(std::ceil(width * scale));
    for (const BarPicture& bar : barPictures_)
        if (bar.name == name && bar.width == pixels && bar.scale == scale) return &bar.picture;
    const ImagePtr image = Image::named(name);
    if (!image) return nullptr;
    QImage picture(std::max(pixels, 1), int(std::ceil(kBarPictureHeight * scale)),
                   QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    {
        QPainter p(&picture);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(double(picture.width()) / width, scale);
        image->draw(p, QRectF(0, 0, width, kBarPictureHeight));
    }
    barPictures_.push_back({name, pixels, scale, std::move(picture)});
    return &barPictures_.back().picture;
}

bool WVDiagrammView::drawBar(QPainter& painter, const std::string& name, const Rect& rect) {
    if (rect.height() < 2 * kBarCap) return false;
    const QTransform t = painter.deviceTransform();
    if (t.m12() != 0 || t.m21() != 0) return false;
    const double scale = std::abs(t.m22());
    const QImage* picture = barPicture(name, rect.width(), scale);
    if (!picture) return false;
    const double cap = kBarCap * scale;
    const double w = picture->width(), h = picture->height();
    Graphics::upright(painter, rect, [&](QPainter& p, const QRectF& local) {
        const double height = local.height();
        // The picture is made at the device's scale and only the middle is stretched, along
        // the bar, where every row is alike: no smoothing is needed.
        p.setRenderHint(QPainter::SmoothPixmapTransform, false);
        p.drawImage(QRectF(0, 0, local.width(), kBarCap), *picture, QRectF(0, 0, w, cap));
        p.drawImage(QRectF(0, kBarCap, local.width(), height - 2 * kBarCap), *picture,
                    QRectF(0, cap, w, h - 2 * cap));
        p.drawImage(QRectF(0, height - kBarCap, local.width(), kBarCap), *picture,
                    QRectF(0, h - cap, w, cap));
    });
    return true;
}

void WVDiagrammView::drawImageNamed(QPainter& painter, const std::string& name, const Rect& rect,
                                    QPainter::CompositionMode mode) {
    if (name != "dot" && mode == QPainter::CompositionMode_SourceOver &&
        drawBar(painter, name, rect))
        return;
    if (const ImagePtr image = Image::named(name))
        Graphics::drawImage(painter, *image, rect, 1.0, mode);
}

void WVDiagrammView::mouseDown(const MouseEvent&) {}

void WVDiagrammView::mouseMoved(const MouseEvent& event) {
    const Point p = convertPointFromWindow(event.locationInWindow);
    const int k = int(randomTypos.size());
    const int n = lessons ? int(lessons->size()) : 0;
    if (p.x < kPitch * k) {
        selectedLesson.reset();
        setSelectedIndex(std::max(0, int(std::trunc(p.x / kPitch))));
    } else {
        const int j = int(std::trunc((p.x - kPitch * k) / kPitch));
        if (j >= n) {
            selectedLesson.reset();
        } else {
            setSelectedIndex(k + j);
            const bool overBars =
                p.y < speedBarRect(k + j).maxY() && p.y > typosBarRect(k + j).minY();
            // Outside the bars no record is selected, so the pop-over never shows the record
            // of a column the pointer has left.
            selectedLesson = overBars ? (*lessons)[size_t(j)] : nullptr;
        }
    }
    showDetails(event.locationInWindow, selectedLesson);
}

void WVDiagrammView::hidePopover() {
    if (!isPopoverShown) return;
    if (popoverContentController && popoverContentController->isViewLoaded())
        popoverContentController->view()->removeFromSuperview();
    isPopoverShown = false;
}

void WVDiagrammView::showDetails(Point q, LessonInfoPtr lesson) {
    if (!popoverContentController) return;
    if (!lesson) {
        hidePopover();
        return;
    }
    View* panel = popoverContentController->view();
    Window* main = Application::shared().mainWindow();
    View* content = main ? main->contentView() : nullptr;
    if (!isPopoverShown) {
        if (content) content->addSubview(panel);
        isPopoverShown = true;
    }
    const double height = popoverContentController->popoverHeight();
    double x = nint(q.x) - detailsViewOffset.x;
    double y = nint(q.y) - height - detailsViewOffset.y;
    if (content) {
        // Beside the newest records the panel would run past the window's right edge: it then
        // opens to the left of the pointer; and it never sinks below the bottom edge.
        const double width = panel->frame().width();
        if (x + width > content->frame().width()) x = nint(q.x) + detailsViewOffset.x - width;
        y = std::max(0.0, y);
    }
    panel->setFrameOrigin(Point{x, y});
    popoverContentController->setLesson(std::move(lesson));
}

void WVDiagrammView::mouseExited(const MouseEvent&) {
    selectedLesson.reset();
    hidePopover();
}

void WVDiagrammView::scrollBy(double delta, Point inView) {
    ScrollView* scroll = ScrollView::enclosing(this);
    if (!scroll) return;
    const Rect visible = scroll->documentVisibleRect();
    if (!visible.contains(inView)) return;
    scroll->scrollToPoint(Point{visible.x() - delta, visible.y()});
}

void WVDiagrammView::mouseDragged(const MouseEvent& event) {
    scrollBy(event.deltaX, convertPointFromWindow(event.locationInWindow));
}

void WVDiagrammView::scrollWheel(const MouseEvent& event) {
    const double d = std::abs(event.scrollingDeltaX) > std::abs(event.scrollingDeltaY)
                         ? event.scrollingDeltaX
                         : event.scrollingDeltaY;
    scrollBy(d, convertPointFromWindow(event.locationInWindow));
}

}  // namespace wv::screens
