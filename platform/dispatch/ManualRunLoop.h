#pragma once

#include <cstddef>

#include "platform/dispatch/Clock.h"

namespace wv {

// The main run loop for tests: installs a ManualClock and runs the main queue only when told.
// Time stands still until advance(): then every block and timer due on the way runs at its own
// due time, in order, so a 0.5 s repeating timer fires exactly twice in advance(1.0).
// Blocks left on the main queue are dropped when it goes away.
class ManualRunLoop {
public:
    explicit ManualRunLoop(double start = 1000.0);
    ~ManualRunLoop();
    ManualRunLoop(const ManualRunLoop&) = delete;
    ManualRunLoop& operator=(const ManualRunLoop&) = delete;

    ManualClock& clock() { return clock_; }
    double now() const { return clock_.now(); }
    // Runs what is due now (including what that adds for now); returns how many blocks ran.
    size_t runUntilIdle();
    size_t advance(double seconds);

private:
    ManualClock clock_;
    ScopedClock installed_;
};

}  // namespace wv
