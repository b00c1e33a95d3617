#pragma once

#include <string>

namespace wv::screens {

// One tab of a switcher: its title and the tag a tap on it reports.
struct TabButtonModelView {
    std::string title;
    int tag = 0;
    friend bool operator==(const TabButtonModelView&, const TabButtonModelView&) = default;
};

}  // namespace wv::screens
