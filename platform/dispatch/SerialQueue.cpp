#include "platform/dispatch/SerialQueue.h"

#include <future>

#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/DispatchThread.h"
#include "platform/dispatch/ThreadName.h"

namespace wv {

SerialQueue::SerialQueue(std::string label) : label_(std::move(label)) {
    thread_ = std::thread([this] { run(); });
}

SerialQueue::~SerialQueue() {
    {
        std::lock_guard lock(liveness_->mutex);
        liveness_->queue = nullptr;
    }
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        if (isCurrent())
            thread_.detach();  // the last owner let go from one of our own blocks
        else
            thread_.join();
    }
}

void SerialQueue::async(Block block) {
    {
        std::lock_guard lock(mutex_);
        blocks_.push_back(std::move(block));
    }
    wake_.notify_one();
}

void SerialQueue::asyncAfter(double seconds, Block block) {
    MainQueue::shared().asyncAfter(seconds,
                                   [liveness = liveness_, block = std::move(block)]() mutable {
                                       std::lock_guard lock(liveness->mutex);
                                       if (liveness->queue)
                                           liveness->queue->async(std::move(block));
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

bool SerialQueue::isCurrent() const { return std::this_thread::get_id() == thread_.get_id(); }

void SerialQueue::run() {
    DispatchThread::begin(label_);
    for (;;) {
        Block block;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !blocks_.empty(); });
            if (blocks_.empty()) return;
            block = std::move(blocks_.front());
            blocks_.pop_front();
        }
        if (block) block();
    }
}

}  // namespace wv
