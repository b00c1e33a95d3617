#pragma once

namespace wv {

// The pace of an animation: a cubic Bézier from (0, 0) to (1, 1) through two control points,
// mapping the elapsed fraction of the time to the fraction of the change.
class TimingFunction {
public:
    constexpr TimingFunction(double x1, double y1, double x2, double y2) : x1_(x1), y1_(y1), x2_(x2), y2_(y2) {}

    static constexpr TimingFunction linear() { return {0.0, 0.0, 1.0, 1.0}; }
    static constexpr TimingFunction easeIn() { return {0.42, 0.0, 1.0, 1.0}; }
    static constexpr TimingFunction easeOut() { return {0.0, 0.0, 0.58, 1.0}; }
    static constexpr TimingFunction easeInEaseOut() { return {0.42, 0.0, 0.58, 1.0}; }
    // The pace of implicit and view animations.
    static constexpr TimingFunction standard() { return {0.25, 0.1, 0.25, 1.0}; }

    double valueAt(double fraction) const;
    bool operator==(const TimingFunction&) const = default;

private:
    double x1_, y1_, x2_, y2_;
};

}  // namespace wv
