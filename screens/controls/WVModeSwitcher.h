#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/ui/Control.h"
#include "platform/ui/Image.h"
#include "platform/ui/values/AttributedString.h"

namespace wv {

// A segmented switch that draws itself: a body picture over the whole control, a highlight
// picture behind the selected segment and one label per segment. Each segment is its label's
// width plus `labelPadding` on both sides; spare width is spread over all label sides. A click
// on a segment selects it and sends the action, also when it was selected already. Text is
// measured once per setTitles, through the current TextMeasurer; drawing only draws what was
// stored. Flipped, as every control: y grows downward.
class WVModeSwitcher : public Control {
  public:
    explicit WVModeSwitcher(const Rect& frame = {});

    double labelPadding = 7.0;
    std::vector<AttributedString> titleLabels;
    std::vector<AttributedString> selectedTitleLabels;
    std::vector<Rect> labelRects;
    // Per segment, its highlight area, which is also where a click selects it.
    std::optional<std::vector<Rect>> imageRects;
    bool isInitialized = false;
    // Set by the owner; setting them redraws nothing. The attributes are read by setTitles.
    std::optional<std::vector<ImagePtr>> selectedImages = std::vector<ImagePtr>{};
    ImagePtr deselectedImage;
    std::optional<TextAttributes> selectedTextAttr;
    std::optional<TextAttributes> deselectedTextAttr;
    int selectedSegment = 0;

    // Makes the labels and every rectangle from the frame as it is now. An empty list leaves
    // the switch without segments: it draws nothing and ignores clicks.
    void setTitles(const std::vector<std::string>& titles);
    // Selects the first segment whose label reads `title` (canonically equivalent Unicode
    // counts as equal); no match changes nothing. Sends no action.
    void selectSegmentWithTitle(const std::string& title);

    void mouseDown(const MouseEvent& event) override;
    void mouseUp(const MouseEvent& event) override;

    // x rounded to the nearest whole number, halves away from zero.
    static double nearest(double x);
    // Whether `p` lies in `r` by the rule for upward (not flipped) rectangles: the left edge
    // and the edge at the larger y count as inside, the right edge and the smaller-y edge not.
    static bool mouseInRect(Point p, const Rect& r);

  protected:
    void draw(QPainter& painter, const Rect& dirtyRect) override;

  private:
    std::vector<Rect> placeLabels(double share, const std::vector<Rect>& first);
};

}  // namespace wv
