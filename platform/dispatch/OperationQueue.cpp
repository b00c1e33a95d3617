#include "platform/dispatch/OperationQueue.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "platform/dispatch/BlockOperation.h"
#include "platform/dispatch/DispatchThread.h"
#include "platform/dispatch/ThreadName.h"

namespace wv {

// Shared with the hooks the queue leaves on its operations, which may fire after the queue is
// gone: they hold it weakly.
struct OperationQueue::State : std::enable_shared_from_this<OperationQueue::State> {
    struct Entry {
        std::shared_ptr<Operation> operation;
        bool started = false;
        std::uint64_t readyObserver = 0;
    };

    std::string name;
    OperationQueue::Execution execution;
    mutable std::mutex mutex;
    std::condition_variable wake;     // workers: something to start, or stopping
    std::condition_variable changed;  // waiters: an operation finished
    int maxCount;
    bool suspended = false;
    bool stopping = false;
    int running = 0;
    int idleWorkers = 0;
    std::vector<Entry> entries;  // in the order added, until finished
    std::deque<std::shared_ptr<Operation>> toStart;
    std::vector<std::thread> workers;

    State(std::string n, int count, OperationQueue::Execution e)
        : name(std::move(n)), execution(e), maxCount(count) {}

    int slots() const { return maxCount > 0 ? maxCount : 1 << 30; }

    // Moves ready operations, in the order added, into toStart while slots are free.
    void schedule() {
        std::vector<std::shared_ptr<Operation>> candidates;
        {
            std::lock_guard lock(mutex);
            if (suspended || stopping) return;
            for (const auto& e : entries)
                if (!e.started) candidates.push_back(e.operation);
        }
        // isReady() asks the dependencies, which must not happen under our mutex.
        std::vector<Operation*> ready;
        for (const auto& op : candidates)
            if (op->isReady()) ready.push_back(op.get());
        bool added = false;
        {
            std::lock_guard lock(mutex);
            if (suspended || stopping) return;
            for (auto& e : entries) {
                if (running >= slots()) break;
                if (e.started ||
                    std::find(ready.begin(), ready.end(), e.operation.get()) == ready.end())
                    continue;
                e.started = true;
                ++running;
                toStart.push_back(e.operation);
                added = true;
            }
            if (added && execution == OperationQueue::Execution::Threads) growWorkers();
        }
        if (!added) return;
        wake.notify_all();
        changed.notify_all();  // a by-hand waiter has something to run
    }

    void growWorkers() {
        const int cap = std::min(slots(), OperationQueue::kMaximumThreads);
        if (idleWorkers >= static_cast<int>(toStart.size()) ||
            static_cast<int>(workers.size()) >= cap)
            return;
        workers.emplace_back([self = shared_from_this()] { self->work(); });
    }

    void work() {
        DispatchThread::begin(name);
        std::unique_lock lock(mutex);
        for (;;) {
            ++idleWorkers;
            wake.wait(lock, [this] { return stopping || !toStart.empty(); });
            --idleWorkers;
            if (stopping) return;
            auto op = std::move(toStart.front());
            toStart.pop_front();
            lock.unlock();
            op->start();
            op.reset();
            lock.lock();
        }
    }

    void finished(Operation* op) {
        {
            std::lock_guard lock(mutex);
            auto it = std::find_if(entries.begin(), entries.end(),
                                   [op](const Entry& e) { return e.operation.get() == op; });
            if (it == entries.end()) return;
            if (it->started) --running;
            op->removeObserver(it->readyObserver);
            entries.erase(it);
        }
        changed.notify_all();
        schedule();
    }

    // Waits until `done` holds; on a by-hand queue the waiting thread runs what becomes
    // startable meanwhile, since nothing else would.
    template <typename Done>
    void waitUntil(Done done) {
        for (;;) {
            if (execution == OperationQueue::Execution::ByHand) runPending();
            std::unique_lock lock(mutex);
            if (done()) return;
            changed.wait(lock, [&] {
                return done() ||
                       (execution == OperationQueue::Execution::ByHand && !toStart.empty());
            });
            if (done()) return;
        }
    }

    size_t runPending() {
        size_t started = 0;
        schedule();
        for (;;) {
            std::shared_ptr<Operation> op;
            {
                std::lock_guard lock(mutex);
                if (toStart.empty()) break;
                op = std::move(toStart.front());
                toStart.pop_front();
            }
            op->start();
            ++started;
        }
        return started;
    }
};

OperationQueue::OperationQueue(std::string name, int maxConcurrentOperationCount,
                               Execution execution)
    : state_(std::make_shared<State>(std::move(name), maxConcurrentOperationCount, execution)) {}

OperationQueue::~OperationQueue() {
    std::vector<std::thread> workers;
    std::vector<State::Entry> forgotten;
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
        state_->toStart.clear();
        workers.swap(state_->workers);
        for (auto& e : state_->entries)
            if (!e.started) forgotten.push_back(std::move(e));
    }
    state_->wake.notify_all();
    for (auto& worker : workers) {
        if (worker.get_id() == std::this_thread::get_id())
            worker.detach();  // the last owner let go from one of our own operations
        else
            worker.join();
    }
    for (auto& e : forgotten) e.operation->removeObserver(e.readyObserver);
}

const std::string& OperationQueue::name() const { return state_->name; }

int OperationQueue::maxConcurrentOperationCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->maxCount;
}

void OperationQueue::setMaxConcurrentOperationCount(int count) {
    {
        std::lock_guard lock(state_->mutex);
        state_->maxCount = count;
    }
    state_->schedule();
}

void OperationQueue::addOperation(std::shared_ptr<Operation> operation) {
    addOperations({std::move(operation)}, false);
}

std::shared_ptr<Operation> OperationQueue::addOperation(Operation::Block block) {
    auto operation = BlockOperation::make(std::move(block));
    addOperation(operation);
    return operation;
}

void OperationQueue::addOperations(const std::vector<std::shared_ptr<Operation>>& operations,
                                   bool waitUntilFinished) {
    for (const auto& op : operations) {
        if (!op) throw std::invalid_argument("OperationQueue::addOperation: no operation");
        if (op->isExecuting() || op->isFinished())
            throw std::logic_error(
                "OperationQueue::addOperation: the operation is executing or finished");
    }
    std::weak_ptr<State> weak = state_;
    for (const auto& op : operations) {
        {
            std::lock_guard lock(state_->mutex);
            for (const auto& e : state_->entries)
                if (e.operation == op)
                    throw std::logic_error(
                        "OperationQueue::addOperation: the operation is already queued");
        }
        // A queue claims an operation for good; a second queue would start it twice.
        const auto token = op->addObserver(
            "isReady", [weak](Operation&, const std::string&, Operation::Change change) {
                if (change != Operation::Change::Did) return;
                if (auto state = weak.lock()) state->schedule();
            });
        {
            std::lock_guard lock(state_->mutex);
            state_->entries.push_back({op, false, token});
        }
        Operation* raw = op.get();
        op->onFinished([weak, raw] {
            if (auto state = weak.lock()) state->finished(raw);
        });
    }
    state_->schedule();
    if (!waitUntilFinished) return;
    state_->waitUntil([&] {
        return std::all_of(operations.begin(), operations.end(), [this](const auto& op) {
            return std::none_of(state_->entries.begin(), state_->entries.end(),
                                [&](const State::Entry& e) { return e.operation == op; });
        });
    });
}

void OperationQueue::cancelAllOperations() {
    for (const auto& op : operations()) op->cancel();
}

void OperationQueue::waitUntilAllOperationsAreFinished() {
    state_->waitUntil([this] { return state_->entries.empty(); });
}

size_t OperationQueue::operationCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->entries.size();
}

std::vector<std::shared_ptr<Operation>> OperationQueue::operations() const {
    std::lock_guard lock(state_->mutex);
    std::vector<std::shared_ptr<Operation>> result;
    for (const auto& e : state_->entries) result.push_back(e.operation);
    return result;
}

void OperationQueue::setSuspended(bool suspended) {
    {
        std::lock_guard lock(state_->mutex);
        state_->suspended = suspended;
    }
    if (!suspended) state_->schedule();
}

bool OperationQueue::isSuspended() const {
    std::lock_guard lock(state_->mutex);
    return state_->suspended;
}

size_t OperationQueue::runPending() { return state_->runPending(); }

}  // namespace wv
