#include "platform/dispatch/DispatchGroup.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/GlobalQueue.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/SerialQueue.h"

namespace wv {

struct DispatchGroup::State {
    std::mutex mutex;
    std::condition_variable zero;
    long count = 0;
    std::vector<std::pair<std::function<void(Block)>, Block>> notifications;
};

DispatchGroup::DispatchGroup() : state_(std::make_shared<State>()) {}

void DispatchGroup::enter() {
    std::lock_guard lock(state_->mutex);
    ++state_->count;
}

void DispatchGroup::leave() {
    // A waiter woken here may destroy its group at once; the state must outlive this call.
    const std::shared_ptr<State> state = state_;
    std::vector<std::pair<std::function<void(Block)>, Block>> due;
    {
        std::lock_guard lock(state->mutex);
        if (state->count == 0)
            throw std::logic_error("DispatchGroup::leave: more leaves than enters");
        if (--state->count > 0) return;
        due.swap(state->notifications);
    }
    state->zero.notify_all();
    for (auto& [post, block] : due) post(std::move(block));
}

void DispatchGroup::async(GlobalQueue& queue, Block block) {
    enter();
    queue.async([group = *this, block = std::move(block)]() mutable {
        if (block) block();
        group.leave();
    });
}

void DispatchGroup::async(SerialQueue& queue, Block block) {
    enter();
    queue.async([group = *this, block = std::move(block)]() mutable {
        if (block) block();
        group.leave();
    });
}

void DispatchGroup::notify(MainQueue& queue, Block block) {
    notifyWith([&queue](Block b) { queue.async(std::move(b)); }, std::move(block));
}

void DispatchGroup::notify(GlobalQueue& queue, Block block) {
    notifyWith([&queue](Block b) { queue.async(std::move(b)); }, std::move(block));
}

void DispatchGroup::notify(SerialQueue& queue, Block block) {
    notifyWith([&queue](Block b) { queue.async(std::move(b)); }, std::move(block));
}

void DispatchGroup::notifyWith(std::function<void(Block)> post, Block block) {
    {
        std::lock_guard lock(state_->mutex);
        if (state_->count > 0) {
            state_->notifications.emplace_back(std::move(post), std::move(block));
            return;
        }
    }
    post(std::move(block));
}

void DispatchGroup::wait() {
    std::unique_lock lock(state_->mutex);
    state_->zero.wait(lock, [this] { return state_->count == 0; });
}

bool DispatchGroup::waitFor(double seconds) {
    std::unique_lock lock(state_->mutex);
    return state_->zero.wait_for(lock, std::chrono::duration<double>(seconds > 0 ? seconds : 0),
                                 [this] { return state_->count == 0; });
}

bool DispatchGroup::waitFor(double seconds, const Clock& clock) {
    const double deadline = clock.now() + seconds;
    std::unique_lock lock(state_->mutex);
    for (;;) {
        if (state_->count == 0) return true;
        if (clock.now() >= deadline) return false;
        state_->zero.wait_for(lock, std::chrono::milliseconds(1));
    }
}

}  // namespace wv
