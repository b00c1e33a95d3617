#include "platform/dispatch/MainQueue.h"

#include <sys/syscall.h>
#include <unistd.h>

#include "platform/dispatch/Clock.h"

namespace wv {

namespace {
// Due times are sums of decimal fractions of a second; a nanosecond of slack keeps 0.1 + 0.1
// from arriving "after" 0.2.
constexpr double kSlack = 1e-9;
}  // namespace

MainQueue& MainQueue::shared() {
    static MainQueue* queue = new MainQueue;  // never destroyed: blocks may outlive main()
    return *queue;
}

MainQueue::Ticket MainQueue::async(Block block) {
    return asyncAt(Clock::current().now(), std::move(block));
}

MainQueue::Ticket MainQueue::asyncAfter(double seconds, Block block) {
    return asyncAt(Clock::current().now() + (seconds > 0 ? seconds : 0), std::move(block));
}

MainQueue::Ticket MainQueue::asyncAt(double time, Block block) {
    std::function<void()> wakeUp;
    Ticket ticket{time, 0};
    {
        std::lock_guard lock(mutex_);
        ticket.sequence = sequence_++;
        blocks_.emplace(Key{time, ticket.sequence}, std::move(block));
        wakeUp = wakeUp_;
    }
    if (wakeUp) wakeUp();
    return ticket;
}

bool MainQueue::isPending(const Ticket& ticket) const {
    std::lock_guard lock(mutex_);
    return blocks_.count(Key{ticket.time, ticket.sequence}) > 0;
}

bool MainQueue::cancel(const Ticket& ticket) {
    Block dropped;  // destroyed outside the lock: it may own what adds blocks
    std::lock_guard lock(mutex_);
    auto it = blocks_.find(Key{ticket.time, ticket.sequence});
    if (it == blocks_.end()) return false;
    dropped.swap(it->second);
    blocks_.erase(it);
    return true;
}

size_t MainQueue::runDue() {
    size_t ran = 0;
    for (;;) {
        Block block;
        {
            std::lock_guard lock(mutex_);
            if (blocks_.empty() || blocks_.begin()->first.first > Clock::current().now() + kSlack)
                break;
            block = std::move(blocks_.begin()->second);
            blocks_.erase(blocks_.begin());
        }
        if (block) block();
        ++ran;
    }
    return ran;
}

std::optional<double> MainQueue::nextDueTime() const {
    std::lock_guard lock(mutex_);
    if (blocks_.empty()) return std::nullopt;
    return blocks_.begin()->first.first;
}

bool MainQueue::empty() const {
    std::lock_guard lock(mutex_);
    return blocks_.empty();
}

void MainQueue::clear() {
    std::map<Key, Block> dropped;
    {
        std::lock_guard lock(mutex_);
        dropped.swap(blocks_);
    }
}

void MainQueue::setWakeUp(std::function<void()> wakeUp) {
    std::lock_guard lock(mutex_);
    wakeUp_ = std::move(wakeUp);
}

bool isMainThread() { return static_cast<pid_t>(syscall(SYS_gettid)) == getpid(); }

}  // namespace wv
