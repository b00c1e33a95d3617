#pragma once

#include <string>
#include <vector>

#include "platform/ui/Control.h"

namespace wv {

// A row of segments with labels, one of them selected; equally wide unless every segment was
// given a width of its own. A click selects the segment under the pointer and sends the
// action; `clickedSegment` tells which one it was.
class SegmentedControl : public Control {
public:
    explicit SegmentedControl(const Rect& frame = {});

    int segmentCount() const { return int(labels_.size()); }
    void setSegmentCount(int count);
    std::string labelForSegment(int segment) const;
    void setLabel(const std::string& label, int segment);
    // 0 (the default) shares the control's width equally.
    double widthForSegment(int segment) const;
    void setWidth(double width, int segment);
    int selectedSegment() const { return selected_; }  // -1 for none
    void setSelected(bool selected, int segment);
    int clickedSegment() const { return clicked_; }
    int segmentAt(Point p) const;
    // The segment's rectangle in the control's own (downward) coordinates.
    Rect segmentRect(int segment) const;

    void mouseDown(const MouseEvent& event) override;
    void mouseUp(const MouseEvent& event) override;

protected:
    void draw(QPainter& painter, const Rect& dirtyRect) override;

private:
    std::vector<std::string> labels_;
    std::vector<double> widths_;
    int selected_ = -1;
    int clicked_ = -1;
    int pressed_ = -1;
};

}  // namespace wv
