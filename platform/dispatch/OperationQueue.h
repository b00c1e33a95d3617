#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/dispatch/Operation.h"

namespace wv {

// Starts the operations added to it once they are ready, in the order added, at most
// maxConcurrentOperationCount at a time. A slot is held from start until the operation finished,
// so an asynchronous operation keeps its slot after start() returned: with a count of 1 the
// queue is serial for asynchronous operations too.
//
// Threaded queues start operations on worker threads of their own, named after the queue.
// A queue made with Execution::ByHand has no thread: runPending() starts what can start on the
// calling thread, so tests can follow callback order without threads.
//
// Destroying the queue waits for operations being started at that moment, forgets those not yet
// started (they never run) and leaves running asynchronous ones to finish on their own.
class OperationQueue {
public:
    enum class Execution { Threads, ByHand };
    // No limit on the slots; a threaded queue still starts at most kMaximumThreads at once.
    static constexpr int kDefaultMaxConcurrentOperationCount = -1;
    static constexpr int kMaximumThreads = 4;

    explicit OperationQueue(std::string name,
                            int maxConcurrentOperationCount = kDefaultMaxConcurrentOperationCount,
                            Execution execution = Execution::Threads);
    ~OperationQueue();
    OperationQueue(const OperationQueue&) = delete;
    OperationQueue& operator=(const OperationQueue&) = delete;

    const std::string& name() const;
    int maxConcurrentOperationCount() const;
    void setMaxConcurrentOperationCount(int count);

    // Adding an operation that is already in a queue, executing or finished is a logic error.
    void addOperation(std::shared_ptr<Operation> operation);
    std::shared_ptr<Operation> addOperation(Operation::Block block);
    void addOperations(const std::vector<std::shared_ptr<Operation>>& operations,
                       bool waitUntilFinished);

    void cancelAllOperations();
    // Blocks until every operation added so far has finished (a by-hand queue runs them first).
    void waitUntilAllOperationsAreFinished();
    // Operations added and not yet finished.
    size_t operationCount() const;
    std::vector<std::shared_ptr<Operation>> operations() const;

    // A suspended queue starts nothing; what runs goes on.
    void setSuspended(bool suspended);
    bool isSuspended() const;

    // By-hand queues: starts, on the calling thread, every operation that can start now,
    // including those that become startable on the way; returns how many were started.
    size_t runPending();

    struct State;

private:
    std::shared_ptr<State> state_;
};

}  // namespace wv
