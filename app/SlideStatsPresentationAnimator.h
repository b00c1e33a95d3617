#pragma once

#include "app/SlidePresentationAnimator.h"

namespace wv {

class View;

// The statistics screen's presentation, in two phases of one default duration each: first the
// screen is put, as large as the typing screen, just beyond its right edge; then it slides in
// to cover the typing screen while it fades in. The typing screen counts the statistics as
// open from the start of the second phase, and as closed once the slide back out to the right
// has ended and the screen is taken away.
class SlideStatsPresentationAnimator : public SlidePresentationAnimator {
  public:
    SlideStatsPresentationAnimator() : SlidePresentationAnimator(Edge::Right) {}

    void animatePresentation(ViewController& presented, ViewController& from) override;
    void animateDismissal(ViewController& presented, ViewController& from) override;

  private:
    // The phases' completions run after the platform may have let go of the animator: they
    // get the flag callback itself, not the animator.
    using OpenedChanged = std::function<void(bool)>;
    static void placeBeyondRightEdge(View& view, View& host);
    static void slideIn(View& view, const OpenedChanged& openedChanged);
    static void slideOut(View& view);
    static void finishDismissal(View& view, const OpenedChanged& openedChanged);
};

}  // namespace wv
