#include "platform/ui/TimingFunction.h"

#include <cmath>

namespace wv {

namespace {
double bezier(double a, double b, double t) {
    const double u = 1 - t;
    return 3 * u * u * t * a + 3 * u * t * t * b + t * t * t;
}
double bezierSlope(double a, double b, double t) {
    const double u = 1 - t;
    return 3 * u * u * a + 6 * u * t * (b - a) + 3 * t * t * (1 - b);
}
}  // namespace

double TimingFunction::valueAt(double x) const {
    if (x <= 0) return 0;
    if (x >= 1) return 1;
    // Find the curve parameter whose x is the time fraction: Newton steps, then bisection
    // where the slope is too flat for them.
    double t = x;
    for (int i = 0; i < 8; ++i) {
        const double error = bezier(x1_, x2_, t) - x;
        if (std::fabs(error) < 1e-9) return bezier(y1_, y2_, t);
        const double slope = bezierSlope(x1_, x2_, t);
        if (std::fabs(slope) < 1e-6) break;
        t -= error / slope;
    }
    double lo = 0, hi = 1;
    t = x;
    for (int i = 0; i < 60; ++i) {
        const double value = bezier(x1_, x2_, t);
        if (std::fabs(value - x) < 1e-12) break;
        (value < x ? lo : hi) = t;
        t = (lo + hi) / 2;
    }
    return bezier(y1_, y2_, t);
}

}  // namespace wv
