#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "platform/dispatch/Operation.h"
#include "platform/net/Error.h"

namespace wv {

// An operation that keeps running after `main` returns and says itself when it is done, by
// `finishWithError` from any thread. Its two flags live behind a recursive lock, and the
// "isExecuting"/"isFinished" notifications go out with that lock held: an observer that reads
// the operation back on the notifying thread takes the lock again instead of deadlocking.
// States: ready -> executing -> finished, or ready -> finished for one cancelled before start.
class TRNAsyncOperation : public Operation {
  public:
    TRNAsyncOperation() = default;

    bool isAsynchronous() const override { return true; }
    bool isConcurrent() const { return true; }
    bool isExecuting() const override;
    bool isFinished() const override;

    void start() override;
    bool checkForCancellation();
    // The completion runs before the operation is reported finished.
    void finishWithError(const std::optional<net::Error>& error);
    void markStarted();
    void markDone();

    std::function<void(const std::optional<net::Error>&)> asyncCompletion;

    // The concrete operation's class name, which names the lock.
    virtual std::string className() const { return "TRNAsyncOperation"; }
    std::string lockName() const { return "com.balvik." + className() + "-lock"; }

  protected:
    void unlockedMarkStarted();
    void unlockedMarkComplete();
    void unlockedMarkFinished();
    void changeValueForKey(const std::string& key, const std::function<void()>& block);
    void lock(const std::function<void()>& block) const;

  private:
    mutable std::recursive_mutex lock_;
    bool internalExecuting_ = false;
    bool internalFinished_ = false;
};

}  // namespace wv
