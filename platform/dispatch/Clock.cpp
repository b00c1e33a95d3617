#include "platform/dispatch/Clock.h"

#include <atomic>
#include <chrono>

namespace wv {

namespace {
SystemClock& systemClock() {
    static SystemClock clock;
    return clock;
}
std::atomic<Clock*> installed{nullptr};
}  // namespace

Clock& Clock::current() {
    Clock* clock = installed.load();
    return clock ? *clock : systemClock();
}

Clock* Clock::setCurrent(Clock* clock) { return installed.exchange(clock); }

double SystemClock::now() const {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace wv
