#pragma once

#include <functional>
#include <optional>
#include <string>
#include <variant>

#include "platform/ui/TimingFunction.h"
#include "platform/ui/values/Color.h"
#include "platform/ui/values/Geometry.h"

namespace wv {

using AnimatedValue = std::variant<double, Rect, Color>;

// A change of one property from a value to another over time, shown by the layer or view
// it is added to without touching the property's own (model) value. Key paths: "opacity",
// "frame", "backgroundColor" on layers; "alphaValue", "frame" on views. A missing from or to
// value is the model value.
struct Animation {
    std::string keyPath;
    std::optional<AnimatedValue> from;
    std::optional<AnimatedValue> to;
    double duration = 0.25;
    TimingFunction timing = TimingFunction::linear();
    bool autoreverses = false;
    // How often the (possibly reversing) cycle runs; 0 means once; a value of 1e30 or more
    // (such as the largest float) runs until the animation is removed.
    double repeatCount = 0;
    // Called once, with true when the animation ran to its end, false when it was removed.
    std::function<void(bool finished)> completion;

    double beginTime = 0;  // set from the clock when the animation is added

    bool isEndless() const { return repeatCount >= 1e30; }
    // Seconds from beginTime to the end (infinity for an endless animation).
    double activeDuration() const;
    bool isFinished(double now) const { return !isEndless() && now >= beginTime + activeDuration(); }
    // The eased fraction of the change at `now`, or nothing before the start and after the end.
    std::optional<double> progress(double now) const;
    // The value at `now` over `model`, which it leaves alone outside the animation's time.
    AnimatedValue valueAt(double now, const AnimatedValue& model) const;
};

AnimatedValue interpolate(const AnimatedValue& from, const AnimatedValue& to, double fraction);

}  // namespace wv
