#include "sdk/analytics/PLRBackoffTimer.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <random>
#include <stdexcept>

#include "platform/dispatch/MainQueue.h"

namespace wv {
namespace {

// One engine for the whole process, seeded from the system's entropy when first used.
std::mt19937_64& engine() {
    static std::mt19937_64 e{std::random_device{}()};
    return e;
}
std::mutex gEngineMutex;

}  // namespace

PLRBackoffTimer::PLRBackoffTimer(double initialValue, double jitterCoefficient)
    : initialValue_(initialValue), jitterCoefficient_(jitterCoefficient) {
    if (!jitterCoefficientIsValid(jitterCoefficient)) {
        throw std::invalid_argument(
            "Invalid parameter not satisfying: [PLRBackoffTimer "
            "jitterCoefficientIsValid:jitterCoefficient]");
    }
}

bool PLRBackoffTimer::jitterCoefficientIsValid(double coefficient) {
    return coefficient >= 0.0 && coefficient < 1.0;
}

double PLRBackoffTimer::computeDelayForInitialValue(double initialValue, uint64_t retryCount) {
    const double base = std::max(2.0, initialValue);
    const double exponent = retryCount == 0 ? 1.0 : double(retryCount);
    // A server's long Retry-After still counts once; only the growth beyond it is capped.
    return std::min(std::pow(base, exponent), std::max(initialValue, kMaximumDelay));
}

double PLRBackoffTimer::generateRandomJitter() const {
    const double c = jitterCoefficientIsValid(jitterCoefficient_) ? jitterCoefficient_
                                                                  : kDefaultJitterCoefficient;
    return randomDoubleWithMin(1.0 - c, 1.0 + c);
}

double PLRBackoffTimer::randomDoubleWithMin(double min, double max) {
    std::lock_guard lock(gEngineMutex);
    double unit = std::generate_canonical<double, 53>(engine());
    // Some library versions can round up to 1: the range is half-open.
    if (unit >= 1.0) unit = std::nextafter(1.0, 0.0);
    return unit * (max - min) + min;
}

double PLRBackoffTimer::executeBlockAfterNextInterval(Block block) {
    ++retryCount_;
    const double delay =
        computeDelayForInitialValue(initialValue_, retryCount_) * generateRandomJitter();
    // Whole nanoseconds, as the wait is handed to the timer.
    const double seconds = std::floor(delay * 1e9) / 1e9;
    MainQueue::shared().asyncAfter(seconds, std::move(block));
    return delay;
}

}  // namespace wv
