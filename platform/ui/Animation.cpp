#include "platform/ui/Animation.h"

#include <cmath>
#include <limits>

namespace wv {

double Animation::activeDuration() const {
    if (isEndless()) return std::numeric_limits<double>::infinity();
    const double cycle = duration * (autoreverses ? 2 : 1);
    return cycle * (repeatCount > 0 ? repeatCount : 1);
}

std::optional<double> Animation::progress(double now) const {
    const double local = now - beginTime;
    if (local < 0 || duration <= 0 || isFinished(now)) return std::nullopt;
    const double cycle = duration * (autoreverses ? 2 : 1);
    double position = std::fmod(local, cycle);
    if (autoreverses && position > duration) position = cycle - position;
    return timing.valueAt(position / duration);
}

AnimatedValue Animation::valueAt(double now, const AnimatedValue& model) const {
    const auto fraction = progress(now);
    if (!fraction) return model;
    const AnimatedValue& a = from ? *from : model;
    const AnimatedValue& b = to ? *to : model;
    if (a.index() != model.index() || b.index() != model.index()) return model;
    return interpolate(a, b, *fraction);
}

AnimatedValue interpolate(const AnimatedValue& from, const AnimatedValue& to, double t) {
    if (from.index() != to.index()) return to;
    if (auto* a = std::get_if<double>(&from)) return *a + (std::get<double>(to) - *a) * t;
    if (auto* a = std::get_if<Color>(&from)) return a->mixed(std::get<Color>(to), t);
    const Rect& a = std::get<Rect>(from);
    const Rect& b = std::get<Rect>(to);
    return Rect(a.x() + (b.x() - a.x()) * t, a.y() + (b.y() - a.y()) * t,
                a.width() + (b.width() - a.width()) * t, a.height() + (b.height() - a.height()) * t);
}

}  // namespace wv
