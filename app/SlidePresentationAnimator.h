#pragma once

#include <functional>

#include "platform/ui/PresentationAnimator.h"

namespace wv {

// Shows a presented screen over the presenting one, sliding in from an edge, and tells the
// presenting screen when it is open or closed (the typing screen's isStatsOpened and
// isSidebarOpened follow it).
class SlidePresentationAnimator : public PresentationAnimator {
  public:
    enum class Edge { Bottom, Right };
    explicit SlidePresentationAnimator(Edge edge = Edge::Right) : edge_(edge) {}

    std::function<void(bool opened)> onOpenedChanged;

    void animatePresentation(ViewController& presented, ViewController& from) override;
    void animateDismissal(ViewController& presented, ViewController& from) override;

  private:
    // The sidebar's motion: placed just beyond the right edge at the presenting view's height
    // and its own width while it fades out, then slid in flush with the right edge while it
    // fades in (the screen counts it as open from the start of that second phase); on
    // dismissal slid back out and removed. Each phase takes one default animation duration.
    void presentSidebar(ViewController& presented, ViewController& from);
    void dismissSidebar(ViewController& presented);

    Edge edge_;
};

}  // namespace wv
