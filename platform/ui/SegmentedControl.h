#pragma once

#include <string>
#include <vector>

#include "platform/ui/Control.h"

namespace wv {

// A row of equally wide segments with labels, one of them selected. A click selects the
// segment under the pointer and sends the action; `clickedSegment` tells which one it was.
class SegmentedControl : public Control {
public:
    explicit SegmentedControl(const Rect& frame = {});

    int segmentCount() const { return int(labels_.size()); }
    void setSegmentCount(int count);
    std::string labelForSegment(int segment) const;
    void setLabel(const std::string& label, int segment);
    int selectedSegment() const { return selected_; }  // -1 for none
    void setSelected(bool selected, int segment);
    int clickedSegment() const { return clicked_; }
    int segmentAt(Point p) const;

    void mouseDown(const MouseEvent& event) override;
    void mouseUp(const MouseEvent& event) override;

protected:
    void draw(QPainter& painter, const Rect& dirtyRect) override;

private:
    Rect segmentRect(int segment) const;

    std::vector<std::string> labels_;
    int selected_ = -1;
    int clicked_ = -1;
    int pressed_ = -1;
};

}  // namespace wv
