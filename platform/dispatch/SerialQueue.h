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
    // Shared with the queue's thread, which may outlive this object when the last owner lets go
    // from one of the queue's own blocks; the thread then finishes what was queued on its own.
    struct State {
        explicit State(SerialQueue* q) : queue(q) {}
        std::mutex mutex;
        std::condition_variable wake;
        std::deque<Block> blocks;
        bool stopping = false;
        std::thread::id threadId;
        // Lets delayed blocks find out, under `livenessMutex`, whether the queue still exists.
        std::mutex livenessMutex;
        SerialQueue* queue;
    };
    static void run(const std::shared_ptr<State>& state, const std::string& label);

    std::string label_;
    std::shared_ptr<State> state_ = std::make_shared<State>(this);
    std::thread thread_;
};

}  // namespace wv
