#include "screens/statistics/WVStatisticsViewController.h"

#include <algorithm>

#include "screens/statistics/WVDiagrammView.h"
#include "screens/statistics/WVStatisticsView.h"

namespace wv::screens {

int WVStatisticsViewController::scaleMaximum(int speed) {
    // A speed below 0 can only come from a damaged row; it counts as 0.
    speed = std::max(speed, 0);
    return speed - speed % 50 + 50;
}

void WVStatisticsViewController::setMaxSpeed(int speed) {
    const int top = scaleMaximum(speed);
    if (auto* frame = dynamic_cast<WVStatisticsView*>(isViewLoaded() ? view() : nullptr)) {
        frame->midSpeedTitleValue = top / 2;
        frame->maxSpeedTitleValue = top;
        frame->setNeedsDisplayInRect(frame->bounds());
    }
    if (diagrammView) diagrammView->maxSpeed = top;
    maxSpeed_ = speed;
}

}  // namespace wv::screens
