#pragma once

#include <QPointer>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/dispatch/MainQueue.h"

namespace wv {

class View;

// Redraws what running animations change, frame by frame, on the main queue (so on the
// injectable clock: a test that advances a manual clock sees every frame). A frame redraws
// only the region of each view that its animations cover. Changes of place or size run at
// sixty frames a second; fades and colour changes, whose steps the eye does not see at that
// rate, at twenty, a third of the cost. A view that is not on screen (hidden, in a hidden or
// minimised window, or in a window the windowing system does not show) is dropped until it is drawn
// again, so nobody wakes up for what nobody sees.
class AnimationDriver {
  public:
    static constexpr double kFastFrame = 1.0 / 60;
    static constexpr double kSlowFrame = 1.0 / 20;

    static AnimationDriver& shared();
    // Follows the view's animations from the next frame on.
    void watch(View* view);
    // One frame: brings every watched view to its presentation values, asks for the regions
    // they change to be drawn again, and forgets the views whose animations have all ended or
    // that are off screen.
    void tick();
    // Frames run so far (benchmarks, tests).
    std::uint64_t frames() const { return frames_; }
    bool isRunning() const;

  private:
    AnimationDriver() = default;
    void schedule();

    std::vector<QPointer<View>> views_;
    // The next frame; a queue that was cleared (between tests) took it away.
    std::optional<MainQueue::Ticket> next_;
    std::uint64_t frames_ = 0;
};

}  // namespace wv
