#pragma once

#include <QPointer>
#include <memory>
#include <vector>

class QTimer;

namespace wv {

class View;

// Redraws views while they have animations running, about sixty times a second, on the Qt
// event loop. Where no event loop turns (tests on a manual clock) nothing ticks, and the
// presentation values are simply read at the time a view is drawn.
class AnimationDriver {
public:
    static AnimationDriver& shared();
    void watch(View* view);
    // One frame: brings every watched view to its presentation values and forgets the views
    // whose animations have all ended.
    void tick();

private:
    AnimationDriver() = default;
    std::vector<QPointer<View>> views_;
    QTimer* timer_ = nullptr;
};

}  // namespace wv
