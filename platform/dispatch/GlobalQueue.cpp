#include "platform/dispatch/GlobalQueue.h"

#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/DispatchThread.h"
#include "platform/dispatch/ThreadName.h"

namespace wv {

namespace {
thread_local bool onPool = false;
}

GlobalQueue& GlobalQueue::shared() {
    // Never destroyed: blocks may be added by static destructors and from threads that outlive
    // main(), and joining at exit could wait on a block that never returns.
    static GlobalQueue* queue = new GlobalQueue;
    return *queue;
}

GlobalQueue::GlobalQueue() {
    for (int i = 0; i < kThreads; ++i) {
        threads_.emplace_back([this] { run(); });
        threads_.back().detach();
    }
}

void GlobalQueue::async(Block block) {
    {
        std::lock_guard lock(mutex_);
        blocks_.push_back(std::move(block));
    }
    wake_.notify_one();
}

void GlobalQueue::asyncAfter(double seconds, Block block) {
    MainQueue::shared().asyncAfter(seconds, [block = std::move(block)]() mutable {
        GlobalQueue::shared().async(std::move(block));
    });
}

bool GlobalQueue::isCurrent() const { return onPool; }

void GlobalQueue::run() {
    DispatchThread::begin("wovanu.global");
    onPool = true;
    for (;;) {
        Block block;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return !blocks_.empty(); });
            block = std::move(blocks_.front());
            blocks_.pop_front();
        }
        if (block) block();
    }
}

}  // namespace wv
