#pragma once

namespace wv {

// The application delegate's side of a language change: it sets the titles of the
// application menu's items from `Local` again.
class MenuLocalizable {
public:
    virtual ~MenuLocalizable() = default;
    virtual void localizeMenuItems() = 0;
};

}  // namespace wv
