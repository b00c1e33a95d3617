#pragma once

#include <vector>

#include "platform/rx/Variable.h"
#include "screens/statistics/TabButtonModelView.h"

namespace wv::screens {

// The statistics screen's tab lists and its two current choices. Every value stored into a
// choice reaches every subscriber, also one equal to the last.
class WVLangSwitcherModelView {
  public:
    std::vector<TabButtonModelView> languages;
    std::vector<TabButtonModelView> layouts;
    rx::Variable<int> selectedLang{0};
    rx::Variable<int> selectedLayout{0};
};

}  // namespace wv::screens
