#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace wv {

// The process-wide concurrent pool: a fixed set of threads named "wovanu.global" that run
// blocks in the order added, several at once, with no order between running blocks.
//
// Delayed blocks (asyncAfter) are timed by the main queue on Clock::current(): they reach the
// pool when the main run loop turns past their due time (in tests, ManualRunLoop::advance).
class GlobalQueue {
public:
    using Block = std::function<void()>;
    static constexpr int kThreads = 4;

    static GlobalQueue& shared();

    void async(Block block);
    void asyncAfter(double seconds, Block block);
    // True on one of the pool's threads.
    bool isCurrent() const;

private:
    GlobalQueue();
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Block> blocks_;
    std::vector<std::thread> threads_;
};

}  // namespace wv
