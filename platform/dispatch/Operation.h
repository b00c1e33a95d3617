#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace wv {

// A unit of work that runs once, after every operation it depends on has finished (whatever
// their outcome, cancelled included). Held by shared_ptr: dependents and queues keep it alive.
//
// States change only forward: ready -> executing -> finished. Each change is told to observers
// of the key ("isReady", "isExecuting", "isFinished", "isCancelled") as a will-change before and
// a did-change after, on the thread that made the change and with no lock of this class held,
// so an observer may read the operation back (or cancel it) without deadlock.
//
// A synchronous operation finishes when main() returns. An asynchronous one (isAsynchronous()
// true) is still executing when start() returns and finishes by an explicit finish(), from any
// thread. A subclass may instead keep its own executing/finished flags by overriding
// isExecuting()/isFinished(); it must then wrap every change in willChangeValueForKey/
// didChangeValueForKey, because "isFinished" turning true is what runs the completion block and
// frees dependents and queue slots.
class Operation : public std::enable_shared_from_this<Operation> {
public:
    using Block = std::function<void()>;
    enum class Change { Will, Did };
    using Observer = std::function<void(Operation&, const std::string& key, Change)>;

    Operation() = default;
    virtual ~Operation() = default;
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

    // Runs the operation on the calling thread. A cancelled operation goes straight to finished
    // without main(); starting one that is executing, finished or not ready is a logic error.
    virtual void start();
    // The work; called by start() of an operation that was not cancelled.
    virtual void main() {}
    virtual bool isAsynchronous() const { return false; }

    // Marks the operation cancelled. It still has to be started to finish (a queue does that at
    // once); what main() makes of the flag is the subclass's business.
    void cancel();
    bool isCancelled() const { return cancelled_.load(); }
    virtual bool isExecuting() const { return executing_.load(); }
    virtual bool isFinished() const { return finished_.load(); }
    // True once every dependency has finished, and always for a cancelled operation, so that
    // cancelling a queue drains it.
    bool isReady() const;

    // Dependencies must be added before the operation is started.
    void addDependency(const std::shared_ptr<Operation>& dependency);
    void removeDependency(const std::shared_ptr<Operation>& dependency);
    std::vector<std::shared_ptr<Operation>> dependencies() const;

    // Runs once, on the finishing thread, after "isFinished" turned true and before any
    // dependent or queue learns of it.
    void setCompletionBlock(Block block);

    // Returns a token for removeObserver.
    std::uint64_t addObserver(const std::string& key, Observer observer);
    void removeObserver(std::uint64_t token);
    void willChangeValueForKey(const std::string& key);
    void didChangeValueForKey(const std::string& key);

    // Blocks the calling thread until the operation has finished (its completion block included).
    void waitUntilFinished();

    // Told once, after the completion block, that the operation finished (queues use this).
    void onFinished(Block hook);

protected:
    // Ends an asynchronous operation: executing false, then finished true, each with its
    // notifications. Calling it again does nothing.
    void finish();

private:
    struct Observation {
        std::uint64_t token;
        std::string key;
        std::shared_ptr<Observer> observer;
    };
    void notify(const std::string& key, Change change);
    void finishedChanged();
    void dependencyFinished();
    void setExecuting(bool executing);
    bool isDone() const { return done_.load(); }

    mutable std::mutex mutex_;
    std::condition_variable finishedCondition_;
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> executing_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> started_{false};
    std::atomic<bool> cancelClaimed_{false};
    std::atomic<bool> finishClaimed_{false};
    bool finishHandled_ = false;
    // Set after the completion block ran: dependents count a dependency as finished only from
    // here, so no dependent can start while a completion block is still running.
    std::atomic<bool> done_{false};
    std::vector<std::shared_ptr<Operation>> dependencies_;
    std::vector<std::weak_ptr<Operation>> dependents_;
    std::vector<Observation> observers_;
    std::uint64_t nextToken_ = 1;
    Block completionBlock_;
    std::vector<Block> finishedHooks_;
};

}  // namespace wv
