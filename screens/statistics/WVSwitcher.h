#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/SegmentedControl.h"
#include "platform/ui/View.h"

namespace wv::screens {

// A row of tabs: one segmented control, left-aligned in the row, each segment as wide as its
// title needs (all narrowed alike when the row is too short), carrying a title and a tag. A
// tap reports the tag through onSelected.
class WVSwitcher : public View {
  public:
    enum class ButtonType { LangSelected, LangUnselected, LayoutSelected, LayoutUnselected };

    explicit WVSwitcher(const Rect& frame = {});

    std::function<void(int tag)> onSelected;
    std::map<int, int> tags;  // segment index -> tag
    SegmentedControl* segmentedControl = nullptr;

    // Replaces every segment.
    void setButtons(const std::vector<std::pair<std::string, int>>& buttons);
    // Selects the segment carrying `tag`; leaves the selection alone when none does.
    void selectTag(int tag);
    void onClick(Control& sender);

    // The width the title of a segment needs.
    double neededWidth(int segment) const;

  protected:
    void frameSizeChanged(Size oldSize) override;

  private:
    void fitControl();
};

}  // namespace wv::screens
