#include "screens/statistics/WVSwitcher.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/TextMeasurer.h"

namespace wv::screens {

namespace {
constexpr double kSegmentPadding = 24;
}  // namespace

WVSwitcher::WVSwitcher(const Rect& frame) : View(frame) {
    segmentedControl = new SegmentedControl(Rect(0, 0, frame.width(), frame.height()));
    segmentedControl->setFont(Font::system(12));
    segmentedControl->action = [this](Control& sender) { onClick(sender); };
    addSubview(segmentedControl);
}

void WVSwitcher::setButtons(const std::vector<std::pair<std::string, int>>& buttons) {
    if (!tags.empty()) tags.clear();
    segmentedControl->setSegmentCount(int(buttons.size()));
    for (size_t i = 0; i < buttons.size(); ++i) {
        segmentedControl->setLabel(buttons[i].first, int(i));
        tags[int(i)] = buttons[i].second;
    }
    fitControl();
}

void WVSwitcher::selectTag(int tag) {
    for (const auto& [segment, value] : tags) {
        if (value == tag) {
            segmentedControl->setSelected(true, segment);
            return;
        }
    }
}

void WVSwitcher::onClick(Control& sender) {
    auto* control = dynamic_cast<SegmentedControl*>(&sender);
    if (!control) return;
    const auto found = tags.find(control->selectedSegment());
    if (found != tags.end() && onSelected) onSelected(found->second);
}

double WVSwitcher::neededWidth(int segment) const {
    TextAttributes attributes;
    attributes.font = segmentedControl->font();
    const AttributedString label(segmentedControl->labelForSegment(segment), attributes);
    return std::ceil(TextMeasurer::current().size(label).width) + kSegmentPadding;
}

void WVSwitcher::fitControl() {
    const int count = segmentedControl->segmentCount();
    std::vector<double> widths;
    double total = 0;
    for (int i = 0; i < count; ++i) total += widths.emplace_back(neededWidth(i));
    const double scale = total > frame().width() && total > 0 ? frame().width() / total : 1.0;
    for (int i = 0; i < count; ++i) segmentedControl->setWidth(widths[size_t(i)] * scale, i);
    segmentedControl->setFrame(Rect(0, 0, std::min(total, frame().width()), frame().height()));
}

void WVSwitcher::frameSizeChanged(Size) { fitControl(); }

}  // namespace wv::screens
