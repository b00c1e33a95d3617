#pragma once

#include <functional>
#include <vector>

#include "platform/ui/TimingFunction.h"

namespace wv {

// A group of view changes that animate together. Inside `runGroup`'s changes, changes made
// through a view's animator() animate with the group's duration and pace; the completion runs
// on the main queue once the group's duration has passed. Outside any group, an animator
// uses the default duration.
class AnimationContext {
public:
    static constexpr double kDefaultDuration = 0.25;

    static void runGroup(const std::function<void(AnimationContext&)>& changes,
                         std::function<void()> completion = {});
    // Runs `changes` with animations off: changes made through animators take effect at once
    // (what a transaction with its actions disabled does).
    static void withoutAnimation(const std::function<void()>& changes);
    // The innermost group whose changes are running, or nullptr.
    static AnimationContext* current();

    double duration() const { return duration_; }
    void setDuration(double seconds) { duration_ = seconds; }
    TimingFunction timing() const { return timing_; }
    void setTiming(TimingFunction timing) { timing_ = timing; }

private:
    double duration_ = kDefaultDuration;
    TimingFunction timing_ = TimingFunction::standard();
};

}  // namespace wv
