#include "screens/controls/WVModeSwitcher.h"

#include <QString>
#include <cmath>

#include "platform/ui/Graphics.h"
#include "platform/ui/TextMeasurer.h"

namespace wv {

WVModeSwitcher::WVModeSwitcher(const Rect& frame) : Control(frame) {}

double WVModeSwitcher::nearest(double x) { return std::round(x); }

bool WVModeSwitcher::mouseInRect(Point p, const Rect& r) {
    return p.x >= r.minX() && p.x < r.maxX() && p.y > r.minY() && p.y <= r.maxY();
}

void WVModeSwitcher::setTitles(const std::vector<std::string>& titles) {
    titleLabels.clear();
    selectedTitleLabels.clear();
    labelRects.clear();
    imageRects.reset();
    isInitialized = false;
    if (titles.empty()) {
        setNeedsDisplay();
        return;
    }
    const double n = double(titles.size());
    const double share = nearest(frame().width() / n);
    const double h = frame().height();
    const TextMeasurer& measurer = TextMeasurer::current();

    std::vector<Rect> first;
    double offset = 0;
    for (const std::string& title : titles) {
        AttributedString label(title, deselectedTextAttr.value_or(TextAttributes{}));
        TextAttributes centred;
        centred.paragraph = ParagraphStyle{TextAlignment::Center, 0};
        label.addAttributes(centred);
        // One line, cut at the tail rather than wrapped: the glyphs' box sits centred in the
        // segment's share of the width.
        const Size used = measurer.size(label);
        const double x = std::max(0.0, (share - used.width) / 2);
        first.emplace_back(offset + x, nearest((h - used.height) / 2.5), used.width, used.height);
        offset += share;
        titleLabels.push_back(label);
        selectedTitleLabels.emplace_back(title, selectedTextAttr.value_or(TextAttributes{}));
    }
    labelRects = placeLabels(share, first);

    std::vector<Rect> highlights;
    double x = 0;
    for (const Rect& label : labelRects) {
        const Rect r(x, 0, nearest(label.width() + 2 * labelPadding), bounds().height());
        highlights.push_back(r);
        x = nearest(r.maxX());
    }
    imageRects = std::move(highlights);
    isInitialized = true;
    setNeedsDisplay();
}

std::vector<Rect> WVModeSwitcher::placeLabels(double share, const std::vector<Rect>& first) {
    const double n = double(first.size());
    double total = 0;
    bool wider = false;
    for (const Rect& r : first) {
        total += r.width();
        wider = wider || r.width() > share;
    }
    const double width = frame().width();
    const double gap = (width - total) / (2 * n);
    labelPadding = gap >= 7.0 ? nearest(gap) : 7.0;

    std::vector<Rect> placed = first;
    if (!wider) {
        double x = labelPadding;
        for (Rect& r : placed) {
            r.origin.x = x;
            x = r.maxX() + 2 * labelPadding;
        }
        return placed;
    }
    if (width <= total || gap < 7.0) return placed;
    double x = gap;
    for (Rect& r : placed) {
        r.origin.x = x;
        x = r.maxX() + gap;
    }
    return placed;
}

void WVModeSwitcher::selectSegmentWithTitle(const std::string& title) {
    const QString wanted = QString::fromStdString(title).normalized(QString::NormalizationForm_D);
    for (size_t i = 0; i < titleLabels.size(); ++i) {
        const QString label = QString::fromStdString(titleLabels[i].string())
                                  .normalized(QString::NormalizationForm_D);
        if (label == wanted) {
            selectedSegment = int(i);
            setNeedsDisplay();
            return;
        }
    }
}

void WVModeSwitcher::draw(QPainter& painter, const Rect&) {
    if (!isInitialized) return;
    if (deselectedImage) Graphics::drawImage(painter, *deselectedImage, bounds());
    if (selectedImages && selectedSegment >= 0 &&
        size_t(selectedSegment) < selectedImages->size() && imageRects &&
        size_t(selectedSegment) < imageRects->size()) {
        if (const ImagePtr& image = (*selectedImages)[size_t(selectedSegment)])
            Graphics::drawImage(painter, *image, (*imageRects)[size_t(selectedSegment)]);
    }
    for (size_t i = 0; i < labelRects.size(); ++i) {
        const bool selected = int(i) == selectedSegment;
        Graphics::drawText(painter, selected ? selectedTitleLabels[i] : titleLabels[i],
                           labelRects[i], false);
    }
}

// Taken here so that the release comes back to this control.
void WVModeSwitcher::mouseDown(const MouseEvent&) {}

void WVModeSwitcher::mouseUp(const MouseEvent& event) {
    const Point p = convertPointFromWindow(event.locationInWindow);
    // The superview's bounds, not the switch's own, decide whether the click is ours at all.
    if (!superview() || !mouseInRect(p, superview()->bounds())) {
        Control::mouseUp(event);
        return;
    }
    if (!imageRects) return;
    for (size_t i = 0; i < imageRects->size(); ++i) {
        if (mouseInRect(p, (*imageRects)[i])) {
            selectedSegment = int(i);
            setNeedsDisplay();
            sendAction();
            return;
        }
    }
}

}  // namespace wv
