#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/dispatch/BlockOperation.h"
#include "platform/dispatch/OperationQueue.h"
#include "platform/dispatch/ThreadName.h"

namespace wv {
namespace {

struct Log {
    std::mutex mutex;
    std::vector<std::string> lines;
    void add(std::string line) {
        std::lock_guard lock(mutex);
        lines.push_back(std::move(line));
    }
    std::vector<std::string> get() {
        std::lock_guard lock(mutex);
        return lines;
    }
};

// Keeps its own flags under its own recursive lock and notifies with the lock held, the way an
// asynchronous operation built on this class does.
class LockedAsyncOperation : public Operation {
public:
    explicit LockedAsyncOperation(Log& log, std::string name) : log_(log), name_(std::move(name)) {}
    bool isAsynchronous() const override { return true; }
    bool isExecuting() const override {
        std::lock_guard lock(lock_);
        return executing_;
    }
    bool isFinished() const override {
        std::lock_guard lock(lock_);
        return finished_;
    }
    void start() override {
        std::lock_guard lock(lock_);
        change("isExecuting", [this] { executing_ = true; });
        log_.add(name_ + " start");
    }
    void done() {
        std::lock_guard lock(lock_);
        log_.add(name_ + " done");
        change("isExecuting", [this] { executing_ = false; });
        change("isFinished", [this] { finished_ = true; });
    }

private:
    template <typename F>
    void change(const std::string& key, F f) {
        willChangeValueForKey(key);
        f();
        didChangeValueForKey(key);
    }
    Log& log_;
    std::string name_;
    mutable std::recursive_mutex lock_;
    bool executing_ = false;
    bool finished_ = false;
};

std::shared_ptr<Operation> logged(Log& log, const std::string& name) {
    auto op = BlockOperation::make([&log, name] { log.add(name); });
    op->setCompletionBlock([&log, name] { log.add(name + " completion"); });
    return op;
}

TEST(OperationQueue, SerialQueueRunsReadyOperationsInTheOrderAdded) {
    Log log;
    OperationQueue queue("test.serial", 1, OperationQueue::Execution::ByHand);
    auto a = logged(log, "a"), b = logged(log, "b"), c = logged(log, "c"), d = logged(log, "d");
    b->addDependency(c);
    queue.addOperations({a, b, c, d}, false);
    EXPECT_TRUE(log.get().empty()) << "a by-hand queue runs nothing by itself";
    EXPECT_EQ(queue.operationCount(), 4u);
    EXPECT_EQ(queue.runPending(), 4u);
    EXPECT_EQ(log.get(), (std::vector<std::string>{"a", "a completion", "c", "c completion", "b",
                                                   "b completion", "d", "d completion"}));
    EXPECT_EQ(queue.operationCount(), 0u);
}

TEST(OperationQueue, SerialQueueHoldsTheSlotUntilAnAsynchronousOperationFinishes) {
    Log log;
    OperationQueue queue("test.serial.async", 1);
    auto first = std::make_shared<LockedAsyncOperation>(log, "first");
    auto second = std::make_shared<LockedAsyncOperation>(log, "second");
    // Observers that read the operation back on the notifying thread, lock held.
    std::atomic<int> readBacks{0};
    for (auto& op : {first, second})
        op->addObserver("isFinished", [&](Operation& o, const std::string&, Operation::Change) {
            readBacks += o.isFinished() ? 1 : 0;
        });
    queue.addOperation(first);
    queue.addOperation(second);
    for (int i = 0; i < 2000 && !first->isExecuting(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(first->isExecuting());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(second->isExecuting())
        << "the second may not start while the first holds the slot";
    EXPECT_EQ(queue.operationCount(), 2u);
    first->done();
    for (int i = 0; i < 2000 && !second->isExecuting(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    second->done();
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(log.get(), (std::vector<std::string>{"first start", "first done", "second start",
                                                   "second done"}));
    EXPECT_EQ(readBacks.load(), 2) << "each did-change of isFinished read back true";
}

TEST(OperationQueue, CancelledOperationStillFinishesAndFreesItsDependents) {
    Log log;
    OperationQueue queue("test.cancel", 1, OperationQueue::Execution::ByHand);
    auto cancelled = logged(log, "cancelled");
    auto dependent = logged(log, "dependent");
    dependent->addDependency(cancelled);
    queue.addOperations({cancelled, dependent}, false);
    cancelled->cancel();
    queue.runPending();
    EXPECT_EQ(log.get(), (std::vector<std::string>{"cancelled completion", "dependent",
                                                   "dependent completion"}));
    EXPECT_TRUE(cancelled->isFinished());
    EXPECT_EQ(queue.operationCount(), 0u);
}

TEST(OperationQueue, CancelAllFinishesEveryOperationWithoutRunningIt) {
    Log log;
    OperationQueue queue("test.cancel.all", 2);
    queue.setSuspended(true);
    std::vector<std::shared_ptr<Operation>> ops;
    for (int i = 0; i < 5; ++i) ops.push_back(logged(log, "op" + std::to_string(i)));
    ops[4]->addDependency(ops[0]);
    queue.addOperations(ops, false);
    queue.cancelAllOperations();
    queue.setSuspended(false);
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(log.get().size(), 5u) << "only the five completion blocks ran";
    for (const auto& line : log.get())
        EXPECT_NE(line.find("completion"), std::string::npos) << line;
    for (const auto& op : ops) EXPECT_TRUE(op->isFinished());
}

TEST(OperationQueue, CompletionBlockRunsBeforeDependentsStartOnAConcurrentQueue) {
    for (int round = 0; round < 20; ++round) {
        Log log;
        OperationQueue queue("test.concurrent", 4);
        auto first = logged(log, "first");
        first->setCompletionBlock([&log] {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            log.add("first completion");
        });
        auto second = logged(log, "second");
        auto third = logged(log, "third");
        second->addDependency(first);
        third->addDependency(first);
        queue.addOperations({third, second, first}, true);
        auto lines = log.get();
        ASSERT_EQ(lines.size(), 6u);
        EXPECT_EQ(lines[0], "first");
        EXPECT_EQ(lines[1], "first completion");
    }
}

TEST(OperationQueue, NeverRunsMoreThanTheMaximumAtOnceOnThreadsNamedAfterIt) {
    OperationQueue queue("test.bounded", 2);
    std::atomic<int> now{0}, peak{0};
    std::mutex namesMutex;
    std::vector<std::string> names;
    std::vector<std::shared_ptr<Operation>> ops;
    for (int i = 0; i < 8; ++i)
        ops.push_back(BlockOperation::make([&] {
            int current = ++now;
            for (int p = peak.load(); current > p && !peak.compare_exchange_weak(p, current);) {
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
            {
                std::lock_guard lock(namesMutex);
                names.push_back(givenThreadName().value_or("<unnamed>"));
            }
            --now;
        }));
    queue.addOperations(ops, true);
    EXPECT_LE(peak.load(), 2);
    EXPECT_GE(peak.load(), 1);
    ASSERT_EQ(names.size(), 8u);
    for (const auto& name : names) EXPECT_EQ(name, "test.bounded");
    EXPECT_EQ(queue.operationCount(), 0u);
}

TEST(OperationQueue, SuspendedQueueStartsNothingUntilResumed) {
    Log log;
    OperationQueue queue("test.suspended", 1, OperationQueue::Execution::ByHand);
    queue.setSuspended(true);
    EXPECT_TRUE(queue.isSuspended());
    queue.addOperation([&log] { log.add("ran"); });
    EXPECT_EQ(queue.runPending(), 0u);
    EXPECT_TRUE(log.get().empty());
    queue.setSuspended(false);
    EXPECT_EQ(queue.runPending(), 1u);
    EXPECT_EQ(log.get(), std::vector<std::string>{"ran"});
}

TEST(OperationQueue, WaitsOnADependencyInAnotherQueue) {
    Log log;
    OperationQueue byHand("test.other", 1, OperationQueue::Execution::ByHand);
    OperationQueue threaded("test.waiting", 1);
    auto dependency = logged(log, "dependency");
    auto dependent = logged(log, "dependent");
    dependent->addDependency(dependency);
    threaded.addOperation(dependent);
    byHand.addOperation(dependency);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(log.get().empty());
    byHand.runPending();
    threaded.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(log.get(), (std::vector<std::string>{"dependency", "dependency completion",
                                                   "dependent", "dependent completion"}));
}

TEST(OperationQueue, ByHandWaitRunsWhatAnotherThreadFreed) {
    Log log;
    OperationQueue queue("test.byhand.wait", 1, OperationQueue::Execution::ByHand);
    auto async = std::make_shared<LockedAsyncOperation>(log, "async");
    queue.addOperation(async);
    queue.addOperation([&log] { log.add("after"); });
    queue.runPending();
    std::thread finisher([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        async->done();
    });
    queue.waitUntilAllOperationsAreFinished();
    finisher.join();
    EXPECT_EQ(log.get(), (std::vector<std::string>{"async start", "async done", "after"}));
}

TEST(OperationQueue, RefusesAnOperationTwiceOrOnceFinished) {
    OperationQueue queue("test.refuse", 1, OperationQueue::Execution::ByHand);
    auto op = BlockOperation::make([] {});
    queue.addOperation(op);
    EXPECT_THROW(queue.addOperation(op), std::logic_error);
    queue.runPending();
    EXPECT_THROW(queue.addOperation(op), std::logic_error);
}

TEST(OperationQueue, DestroyedQueueNeverStartsWhatWaited) {
    std::atomic<bool> ran{false};
    auto op = BlockOperation::make([&] { ran = true; });
    {
        OperationQueue queue("test.destroyed", 1);
        queue.setSuspended(true);
        queue.addOperation(op);
    }
    EXPECT_FALSE(ran.load());
    EXPECT_FALSE(op->isExecuting());
}

}  // namespace
}  // namespace wv
