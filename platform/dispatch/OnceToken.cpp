#include "platform/dispatch/OnceToken.h"

namespace wv {

void OnceToken::call(const std::function<void()>& block) {
    if (done_.load(std::memory_order_acquire)) return;
    std::lock_guard lock(mutex_);
    if (done_.load(std::memory_order_relaxed)) return;
    if (block) block();
    done_.store(true, std::memory_order_release);
}

}  // namespace wv
