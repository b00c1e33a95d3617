#pragma once

#include <memory>
#include <string>

#include "platform/dispatch/Timer.h"
#include "platform/ui/View.h"

namespace wv {

// The name of the notification a single click on a WVClickListenerView posts.
const std::string& WVClickListenerViewEventRecieved();

// Turns clicks into two application-wide effects: a single click is announced on the default
// notification centre 0.2 s after the mouse went up (with the view as sender), unless a second
// click of a double click comes first; a double click toggles the main window's full screen.
// Main thread only.
class WVClickListenerView : public View {
  public:
    static constexpr double kSingleClickDelay = 0.2;

    explicit WVClickListenerView(const Rect& frame = {}) : View(frame) {}

    // The wait of the last single click; a double click invalidates it.
    std::shared_ptr<Timer> doubleClickTimer;

    void mouseDown(const MouseEvent&) override {}
    void mouseUp(const MouseEvent& event) override;
    void onDoubleClickTimeoutWithTimer(Timer& timer);
};

}  // namespace wv
