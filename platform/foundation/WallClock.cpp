#include "platform/foundation/WallClock.h"

#include <mutex>

namespace wv {

namespace {
std::mutex& clockMutex() {
    static std::mutex m;
    return m;
}
std::shared_ptr<WallClock>& sharedSlot() {
    static std::shared_ptr<WallClock> clock = std::make_shared<SystemWallClock>();
    return clock;
}
}  // namespace

std::shared_ptr<WallClock> WallClock::shared() {
    std::lock_guard lock(clockMutex());
    return sharedSlot();
}

std::shared_ptr<WallClock> WallClock::setShared(std::shared_ptr<WallClock> clock) {
    if (!clock) clock = std::make_shared<SystemWallClock>();
    std::lock_guard lock(clockMutex());
    std::swap(sharedSlot(), clock);
    return clock;
}

WallClock::TimePoint wallNow() { return WallClock::shared()->now(); }

}  // namespace wv
