#include "platform/dispatch/ManualRunLoop.h"

#include "platform/dispatch/MainQueue.h"

namespace wv {

ManualRunLoop::ManualRunLoop(double start) : clock_(start), installed_(clock_) {
    MainQueue::shared().clear();
}

ManualRunLoop::~ManualRunLoop() { MainQueue::shared().clear(); }

size_t ManualRunLoop::runUntilIdle() { return MainQueue::shared().runDue(); }

size_t ManualRunLoop::advance(double seconds) {
    const double target = clock_.now() + seconds;
    size_t ran = runUntilIdle();
    for (;;) {
        auto next = MainQueue::shared().nextDueTime();
        if (!next || *next > target + 1e-9) break;
        if (*next > clock_.now()) clock_.set(*next);
        ran += MainQueue::shared().runDue();
    }
    clock_.set(target);
    return ran + MainQueue::shared().runDue();
}

}  // namespace wv
