#include "platform/ui/SegmentedControl.h"

#include <QPainterPath>
#include <algorithm>

#include "platform/ui/Graphics.h"
#include "platform/ui/QtConvert.h"
#include "platform/ui/TextMeasurer.h"

namespace wv {

SegmentedControl::SegmentedControl(const Rect& frame) : Control(frame) { setAlignment(TextAlignment::Center); }

void SegmentedControl::setSegmentCount(int count) {
    labels_.resize(size_t(std::max(0, count)));
    widths_.resize(labels_.size());
    if (selected_ >= count) selected_ = -1;
    setNeedsDisplay();
}

std::string SegmentedControl::labelForSegment(int segment) const {
    return segment >= 0 && segment < segmentCount() ? labels_[size_t(segment)] : std::string();
}

void SegmentedControl::setLabel(const std::string& label, int segment) {
    if (segment < 0 || segment >= segmentCount()) return;
    labels_[size_t(segment)] = label;
    setNeedsDisplay();
}

void SegmentedControl::setSelected(bool selected, int segment) {
    if (segment < 0 || segment >= segmentCount()) return;
    if (selected)
        selected_ = segment;
    else if (selected_ == segment)
        selected_ = -1;
    setNeedsDisplay();
}

double SegmentedControl::widthForSegment(int segment) const {
    return segment >= 0 && segment < segmentCount() ? widths_[size_t(segment)] : 0;
}

void SegmentedControl::setWidth(double width, int segment) {
    if (segment < 0 || segment >= segmentCount()) return;
    widths_[size_t(segment)] = std::max(0.0, width);
    setNeedsDisplay();
}

Rect SegmentedControl::segmentRect(int segment) const {
    const bool own = !widths_.empty() &&
                     std::all_of(widths_.begin(), widths_.end(), [](double w) { return w > 0; });
    if (own) {
        double x = 0;
        for (int i = 0; i < segment; ++i) x += widths_[size_t(i)];
        return Rect(x, 0, widths_[size_t(segment)], bounds().height());
    }
    const double w = segmentCount() > 0 ? bounds().width() / segmentCount() : 0;
    return Rect(w * segment, 0, w, bounds().height());
}

int SegmentedControl::segmentAt(Point p) const {
    for (int i = 0; i < segmentCount(); ++i)
        if (segmentRect(i).contains(p)) return i;
    return -1;
}

void SegmentedControl::mouseDown(const MouseEvent& event) {
    pressed_ = isEnabled() ? segmentAt(convertPointFromWindow(event.locationInWindow)) : -1;
}

void SegmentedControl::mouseUp(const MouseEvent& event) {
    const int segment = segmentAt(convertPointFromWindow(event.locationInWindow));
    if (segment < 0 || segment != pressed_) return;
    pressed_ = -1;
    clicked_ = segment;
    setSelected(true, segment);
    sendAction();
}

void SegmentedControl::draw(QPainter& painter, const Rect&) {
    const QRectF all = toQRectF(bounds()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(QColor(255, 255, 255, 60), 1));
    painter.setBrush(QColor(255, 255, 255, 12));
    painter.drawRoundedRect(all, 5, 5);
    for (int i = 0; i < segmentCount(); ++i) {
        const Rect r = segmentRect(i);
        if (i == selected_) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(74, 144, 226));
            painter.drawRoundedRect(toQRectF(r).adjusted(2, 2, -2, -2), 4, 4);
        }
        TextAttributes a;
        a.font = font();
        a.foreground = Color::white(i == selected_ ? 1.0 : 0.75);
        a.paragraph = ParagraphStyle{TextAlignment::Center, 0};
        const AttributedString label(labels_[size_t(i)], a);
        const double h = TextMeasurer::current().size(label).height;
        Graphics::drawText(painter, label, Rect(r.x(), r.y() + (r.height() - h) / 2, r.width(), h), false);
    }
}

}  // namespace wv
