#pragma once

#include "platform/ui/ViewController.h"

namespace wv::screens {

class WVDiagrammView;

// Owns the speed scale of the chart: takes the highest display speed shown up to the next
// multiple of 50 above it, and gives that to the frame's captions and to the diagram, so bars
// and captions agree. Its view is the screen's chart frame, handed over by the screen.
class WVStatisticsViewController : public ViewController {
  public:
    WVDiagrammView* diagrammView = nullptr;  // the screen's view owns it
    int maxTyposCount = 1;

    int maxSpeed() const { return maxSpeed_; }
    // Stores `speed` as handed over; the frame and the diagram get the scale above it.
    void setMaxSpeed(int speed);

    // The scale's top for a highest speed: the next multiple of 50 strictly above it.
    static int scaleMaximum(int speed);

  private:
    int maxSpeed_ = 0;
};

}  // namespace wv::screens
