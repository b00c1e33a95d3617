#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace wv {

// Runs blocks one after another, in the order they were added, on a thread of its own named
// after the label. Destroying the queue runs what is already queued, then joins its thread.
class SerialQueue {
public:
    using Block = std::function<void()>;

    explicit SerialQueue(std::string label);
    ~SerialQueue();
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    const std::string& label() const { return label_; }
    void async(Block block);
    // Timed by the main queue on Clock::current() (see GlobalQueue::asyncAfter); a block whose
    // queue is gone by then is dropped.
    void asyncAfter(double seconds, Block block);
    // Runs the block on the queue and waits for it. Called from the queue's own thread it runs
    // the block at once instead of deadlocking.
    void sync(const Block& block);
    // Blocks until everything queued so far has run.
    void drain();
    bool isCurrent() const;

private:
    void run();

    // Lets delayed blocks find out, under its mutex, whether the queue still exists.
    struct Liveness {
        explicit Liveness(SerialQueue* q) : queue(q) {}
        std::mutex mutex;
        SerialQueue* queue;
    };

    std::string label_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Block> blocks_;
    bool stopping_ = false;
    std::thread thread_;
    std::shared_ptr<Liveness> liveness_ = std::make_shared<Liveness>(this);
};

}  // namespace wv
