#include "sdk/core/TRNAsyncOperation.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "platform/dispatch/OperationQueue.h"

namespace wv {
namespace {

// Finishes on another thread, as a network completion would.
class LaterOperation : public TRNAsyncOperation {
  public:
    std::atomic<int> mainCalls{0};
    std::string className() const override { return "LaterOperation"; }
    void main() override {
        ++mainCalls;
        auto self = std::static_pointer_cast<LaterOperation>(shared_from_this());
        std::thread([self] { self->finishWithError(net::Error{"test", 7, {}}); }).detach();
    }
};

struct Seen {
    std::mutex mutex;
    std::vector<std::string> events;
    void add(std::string e) {
        std::lock_guard lock(mutex);
        events.push_back(std::move(e));
    }
};

void observe(Operation& op, Seen& seen) {
    for (std::string key : {"isExecuting", "isFinished"}) {
        op.addObserver(key, [&seen, key](Operation& o, const std::string&, Operation::Change c) {
            // Reading back on the notifying thread takes the operation's lock again.
            const bool value = key == "isExecuting" ? o.isExecuting() : o.isFinished();
            seen.add((c == Operation::Change::Will ? "will " : "did ") + key + "=" +
                     (value ? "1" : "0"));
        });
    }
}

TEST(TRNAsyncOperation, RunsFromReadyThroughExecutingToFinishedWithTheCompletionFirst) {
    auto op = std::make_shared<LaterOperation>();
    Seen seen;
    observe(*op, seen);
    EXPECT_FALSE(op->isExecuting());
    EXPECT_FALSE(op->isFinished());
    EXPECT_TRUE(op->isAsynchronous());
    EXPECT_TRUE(op->isConcurrent());
    std::promise<std::pair<int64_t, bool>> completion;
    op->asyncCompletion = [&](const std::optional<net::Error>& e) {
        completion.set_value({e ? e->code : 0, op->isFinished()});
    };
    op->start();
    auto [code, finishedDuringCompletion] = completion.get_future().get();
    op->waitUntilFinished();
    EXPECT_EQ(code, 7);
    EXPECT_FALSE(finishedDuringCompletion);
    EXPECT_TRUE(op->isFinished());
    EXPECT_FALSE(op->isExecuting());
    EXPECT_EQ(op->mainCalls, 1);
    std::lock_guard lock(seen.mutex);
    EXPECT_EQ(seen.events, (std::vector<std::string>{"will isExecuting=0", "did isExecuting=1",
                                                     "will isExecuting=1", "did isExecuting=0",
                                                     "will isFinished=0", "did isFinished=1"}));
}

TEST(TRNAsyncOperation, ACancelledOperationFinishesWithoutMainAndStaysNotExecuting) {
    auto op = std::make_shared<LaterOperation>();
    Seen seen;
    observe(*op, seen);
    op->cancel();
    op->start();
    EXPECT_TRUE(op->isFinished());
    EXPECT_FALSE(op->isExecuting());
    EXPECT_EQ(op->mainCalls, 0);
    std::lock_guard lock(seen.mutex);
    EXPECT_EQ(seen.events, (std::vector<std::string>{"will isExecuting=0", "did isExecuting=0",
                                                     "will isFinished=0", "did isFinished=1"}));
}

TEST(TRNAsyncOperation, FinishingWithoutACompletionStillFinishesAndOnlyOnce) {
    auto op = std::make_shared<TRNAsyncOperation>();
    int finishedNotices = 0;
    op->addObserver("isFinished", [&](Operation&, const std::string&, Operation::Change c) {
        if (c == Operation::Change::Did) ++finishedNotices;
    });
    op->markStarted();
    op->finishWithError(std::nullopt);
    op->finishWithError(std::nullopt);
    EXPECT_TRUE(op->isFinished());
    EXPECT_EQ(finishedNotices, 1);
    EXPECT_EQ(op->lockName(), "com.balvik.TRNAsyncOperation-lock");
    EXPECT_EQ(LaterOperation().lockName(), "com.balvik.LaterOperation-lock");
}

TEST(TRNAsyncOperation, AQueueSlotIsHeldUntilTheOperationSaysItIsDone) {
    OperationQueue queue("test.async");
    queue.setMaxConcurrentOperationCount(1);
    auto first = std::make_shared<LaterOperation>();
    auto second = std::make_shared<LaterOperation>();
    std::atomic<bool> firstDoneBeforeSecondStarted{false};
    second->addObserver("isExecuting", [&](Operation&, const std::string&, Operation::Change c) {
        if (c == Operation::Change::Will) firstDoneBeforeSecondStarted = first->isFinished();
    });
    queue.addOperation(first);
    queue.addOperation(second);
    second->waitUntilFinished();
    EXPECT_TRUE(firstDoneBeforeSecondStarted);
}

}  // namespace
}  // namespace wv
