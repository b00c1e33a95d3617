#include "platform/ui/AnimationContext.h"

#include "platform/dispatch/MainQueue.h"

namespace wv {

namespace {
std::vector<AnimationContext*>& stack() {
    static std::vector<AnimationContext*> contexts;
    return contexts;
}
}  // namespace

void AnimationContext::runGroup(const std::function<void(AnimationContext&)>& changes,
                                std::function<void()> completion) {
    AnimationContext context;
    stack().push_back(&context);
    if (changes) changes(context);
    stack().pop_back();
    if (completion) MainQueue::shared().asyncAfter(context.duration_, std::move(completion));
}

void AnimationContext::withoutAnimation(const std::function<void()>& changes) {
    runGroup([&](AnimationContext& context) {
        context.setDuration(0);
        if (changes) changes();
    });
}

AnimationContext* AnimationContext::current() { return stack().empty() ? nullptr : stack().back(); }

}  // namespace wv
