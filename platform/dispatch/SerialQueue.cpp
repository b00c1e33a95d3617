#include "platform/dispatch/SerialQueue.h"

#include <future>

#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/DispatchThread.h"
#include "platform/dispatch/ThreadName.h"

namespace wv {

SerialQueue::SerialQueue(std::string label) : label_(std::move(label)) {
    thread_ = std::thread([state = state_, label = label_] { run(state, label); });
    // Blocks reach the thread through the state's mutex, after this store, so a block's
    // isCurrent() sees it.
    state_->threadId = thread_.get_id();
}

SerialQueue::~SerialQueue() {
    {
        std::lock_guard lock(state_->livenessMutex);
        state_->queue = nullptr;
    }
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->wake.notify_all();
    if (thread_.joinable()) {
        if (isCurrent())
            thread_.detach();  // the last owner let go from one of our own blocks
        else
            thread_.join();
    }
}

void SerialQueue::async(Block block) {
    {
        std::lock_guard lock(state_->mutex);
        state_->blocks.push_back(std::move(block));
    }
    state_->wake.notify_one();
}

void SerialQueue::asyncAfter(double seconds, Block block) {
    MainQueue::shared().asyncAfter(seconds, [state = state_, block = std::move(block)]() mutable {
        std::lock_guard lock(state->livenessMutex);
        if (state->queue) state->queue->async(std::move(block));
    });
}

void SerialQueue::sync(const Block& block) {
    if (isCurrent()) {
        block();
        return;
    }
    std::promise<void> done;
    async([&] {
        block();
        done.set_value();
    });
    done.get_future().wait();
}

void SerialQueue::drain() {
    sync([] {});
}

bool SerialQueue::isCurrent() const { return std::this_thread::get_id() == state_->threadId; }

void SerialQueue::run(const std::shared_ptr<State>& state, const std::string& label) {
    DispatchThread::begin(label);
    for (;;) {
        Block block;
        {
            std::unique_lock lock(state->mutex);
            state->wake.wait(lock, [&] { return state->stopping || !state->blocks.empty(); });
            if (state->blocks.empty()) return;
            block = std::move(state->blocks.front());
            state->blocks.pop_front();
        }
        if (block) block();
    }
}

}  // namespace wv
