#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

namespace wv {

// The queue of the main thread. Blocks may be added from any thread; they run on the main
// thread, in the order of their due time and, for equal times, in the order they were added.
// Who runs them: in the application the Qt event loop (see platform/ui's MainLoop), in tests
// a ManualRunLoop. Due times are read from Clock::current().
class MainQueue {
  public:
    using Block = std::function<void()>;
    // Names one added block, for cancel().
    struct Ticket {
        double time = 0;
        std::uint64_t sequence = 0;
    };

    static MainQueue& shared();

    Ticket async(Block block);
    Ticket asyncAfter(double seconds, Block block);
    Ticket asyncAt(double time, Block block);
    // Drops the block if it has not run yet, so that the loop does not wake up for it; true
    // when it was dropped.
    bool cancel(const Ticket& ticket);
    // Whether the block waits still (neither run, cancelled nor cleared away).
    bool isPending(const Ticket& ticket) const;

    // Runs every block that is due now, including blocks that those add and that are due at
    // once; returns how many ran. Called on the main thread only.
    size_t runDue();
    std::optional<double> nextDueTime() const;
    bool empty() const;
    // Forgets every waiting block (tests, between cases).
    void clear();

    // Told, from the adding thread, whenever a block was added, so that an event loop can
    // wake up and look at nextDueTime() again.
    void setWakeUp(std::function<void()> wakeUp);

  private:
    MainQueue() = default;
    using Key = std::pair<double, std::uint64_t>;
    mutable std::mutex mutex_;
    std::map<Key, Block> blocks_;
    std::uint64_t sequence_ = 0;
    std::function<void()> wakeUp_;
};

// True on the process's main thread (the one that started the program).
bool isMainThread();

}  // namespace wv
