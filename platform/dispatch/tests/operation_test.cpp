#include "platform/dispatch/Operation.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/dispatch/BlockOperation.h"

namespace wv {
namespace {

// Every notification as "will isExecuting" / "did isFinished", with the state read back
// from inside the observer.
struct Recorder {
    std::mutex mutex;
    std::vector<std::string> events;

    void watch(Operation& op) {
        for (const char* key : {"isReady", "isExecuting", "isFinished", "isCancelled"}) {
            op.addObserver(
                key, [this](Operation& o, const std::string& k, Operation::Change change) {
                    std::string line = (change == Operation::Change::Will ? "will " : "did ") + k;
                    if (change == Operation::Change::Did)
                        line += std::string(" e") + (o.isExecuting() ? "1" : "0") + " f" +
                                (o.isFinished() ? "1" : "0");
                    std::lock_guard lock(mutex);
                    events.push_back(line);
                });
        }
    }
};

class AsyncOperation : public Operation {
public:
    bool isAsynchronous() const override { return true; }
    void main() override { ++mains; }
    void complete() { finish(); }
    std::atomic<int> mains{0};
};

TEST(Operation, SynchronousRunNotifiesEachStateChangeInOrder) {
    auto op = BlockOperation::make([] {});
    Recorder recorder;
    recorder.watch(*op);
    std::vector<std::string> order;
    op->setCompletionBlock([&] { order.push_back("completion"); });
    op->onFinished([&] { order.push_back("hook"); });
    EXPECT_TRUE(op->isReady());
    op->start();
    EXPECT_EQ(recorder.events,
              (std::vector<std::string>{"will isExecuting", "did isExecuting e1 f0",
                                        "will isExecuting", "did isExecuting e0 f0",
                                        "will isFinished", "did isFinished e0 f1"}));
    EXPECT_EQ(order, (std::vector<std::string>{"completion", "hook"}));
    EXPECT_TRUE(op->isFinished());
    EXPECT_FALSE(op->isExecuting());
    EXPECT_THROW(op->start(), std::logic_error);
}

TEST(Operation, CancelledBeforeStartFinishesWithoutMain) {
    bool ran = false;
    bool completed = false;
    auto op = BlockOperation::make([&] { ran = true; });
    op->setCompletionBlock([&] { completed = true; });
    Recorder recorder;
    recorder.watch(*op);
    op->cancel();
    op->cancel();  // a second cancel tells nobody
    EXPECT_TRUE(op->isCancelled());
    op->start();
    EXPECT_FALSE(ran);
    EXPECT_TRUE(completed);
    EXPECT_TRUE(op->isFinished());
    EXPECT_FALSE(op->isExecuting());
    EXPECT_EQ(
        recorder.events,
        (std::vector<std::string>{"will isCancelled", "did isCancelled e0 f0", "will isReady",
                                  "did isReady e0 f0", "will isFinished", "did isFinished e0 f1"}));
}

TEST(Operation, ReadyOnlyOnceEveryDependencyHasFinished) {
    enum class Outcome { Finished, CancelledAndFinished, Waiting, CancelledNotStarted, Executing };
    struct Case {
        const char* name;
        std::vector<Outcome> dependencies;
        bool ready;
    };
    const std::vector<Case> cases = {
        {"none", {}, true},
        {"one finished", {Outcome::Finished}, true},
        {"cancelled and finished counts as finished",
         {Outcome::CancelledAndFinished, Outcome::Finished},
         true},
        {"one waiting", {Outcome::Finished, Outcome::Waiting}, false},
        {"cancelled but not yet finished", {Outcome::CancelledNotStarted}, false},
        {"still executing", {Outcome::Executing}, false},
    };
    for (const auto& c : cases) {
        auto op = BlockOperation::make([] {});
        std::vector<std::shared_ptr<Operation>> keep;
        for (Outcome outcome : c.dependencies) {
            std::shared_ptr<Operation> dep;
            if (outcome == Outcome::Executing) {
                auto async = std::make_shared<AsyncOperation>();
                async->start();
                dep = async;
            } else {
                dep = BlockOperation::make([] {});
                if (outcome == Outcome::CancelledAndFinished ||
                    outcome == Outcome::CancelledNotStarted)
                    dep->cancel();
                if (outcome == Outcome::Finished || outcome == Outcome::CancelledAndFinished)
                    dep->start();
            }
            op->addDependency(dep);
            keep.push_back(dep);
        }
        EXPECT_EQ(op->isReady(), c.ready) << c.name;
        if (!c.ready) {
            EXPECT_THROW(op->start(), std::logic_error) << c.name;
        }
    }
}

TEST(Operation, DependentIsToldWhenItBecomesReady) {
    auto first = BlockOperation::make([] {});
    auto second = BlockOperation::make([] {});
    auto op = BlockOperation::make([] {});
    op->addDependency(first);
    op->addDependency(second);
    std::vector<bool> readyWhenTold;
    op->addObserver("isReady", [&](Operation& o, const std::string&, Operation::Change change) {
        if (change == Operation::Change::Did) readyWhenTold.push_back(o.isReady());
    });
    first->start();
    EXPECT_TRUE(readyWhenTold.empty()) << "not ready while the second dependency waits";
    second->cancel();  // cancelling a dependency does not make the dependent ready
    EXPECT_TRUE(readyWhenTold.empty());
    second->start();
    EXPECT_EQ(readyWhenTold, std::vector<bool>{true});
}

TEST(Operation, CompletionBlockRunsBeforeDependentCountsItFinished) {
    auto dependency = BlockOperation::make([] {});
    auto dependent = BlockOperation::make([] {});
    dependent->addDependency(dependency);
    bool dependentReadyDuringCompletion = true;
    dependency->setCompletionBlock([&] { dependentReadyDuringCompletion = dependent->isReady(); });
    dependency->start();
    EXPECT_FALSE(dependentReadyDuringCompletion);
    EXPECT_TRUE(dependent->isReady());
}

TEST(Operation, AsynchronousOperationFinishesOnlyWhenToldFromAnyThread) {
    auto op = std::make_shared<AsyncOperation>();
    std::atomic<bool> completed{false};
    op->setCompletionBlock([&] { completed = true; });
    op->start();
    EXPECT_EQ(op->mains.load(), 1);
    EXPECT_TRUE(op->isExecuting());
    EXPECT_FALSE(op->isFinished());
    std::thread finisher([op] { op->complete(); });
    op->waitUntilFinished();
    finisher.join();
    EXPECT_TRUE(completed.load()) << "waitUntilFinished returns after the completion block";
    EXPECT_TRUE(op->isFinished());
    EXPECT_FALSE(op->isExecuting());
    op->complete();  // a second finish changes nothing
    EXPECT_TRUE(op->isFinished());
}

TEST(Operation, RemovedObserverHearsNothing) {
    auto op = BlockOperation::make([] {});
    int heard = 0;
    auto token = op->addObserver(
        "isFinished", [&](Operation&, const std::string&, Operation::Change) { ++heard; });
    op->removeObserver(token);
    op->start();
    EXPECT_EQ(heard, 0);
}

TEST(Operation, DependencyOnItselfIsRefused) {
    auto op = BlockOperation::make([] {});
    EXPECT_THROW(op->addDependency(op), std::invalid_argument);
    EXPECT_THROW(op->addDependency(nullptr), std::invalid_argument);
}

TEST(Operation, RemovingTheLastWaitingDependencyMakesItReady) {
    auto waiting = BlockOperation::make([] {});
    auto op = BlockOperation::make([] {});
    op->addDependency(waiting);
    EXPECT_FALSE(op->isReady());
    op->removeDependency(waiting);
    EXPECT_TRUE(op->isReady());
    EXPECT_TRUE(op->dependencies().empty());
}

}  // namespace
}  // namespace wv
