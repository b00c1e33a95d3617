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
    Edge edge_;
};

}  // namespace wv
