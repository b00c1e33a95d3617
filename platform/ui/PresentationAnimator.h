#pragma once

namespace wv {

class ViewController;

// Shows a presented view controller over the one that presents it, and takes it away again.
// A new animator is made for each presentation and kept until the dismissal.
class PresentationAnimator {
public:
    virtual ~PresentationAnimator() = default;
    virtual void animatePresentation(ViewController& presented, ViewController& from) = 0;
    virtual void animateDismissal(ViewController& presented, ViewController& from) = 0;
};

}  // namespace wv
