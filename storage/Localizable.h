#pragma once

namespace wv {

// A window's controller that can fetch all its texts from `Local` again, after the interface
// language changed.
class Localizable {
public:
    virtual ~Localizable() = default;
    virtual void localizeCaptions() = 0;
};

}  // namespace wv
