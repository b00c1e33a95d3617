#include "sdk/core/TRNAsyncOperation.h"

namespace wv {

bool TRNAsyncOperation::isExecuting() const {
    std::lock_guard guard(lock_);
    return internalExecuting_;
}

bool TRNAsyncOperation::isFinished() const {
    std::lock_guard guard(lock_);
    return internalFinished_;
}

void TRNAsyncOperation::start() {
    if (checkForCancellation()) return;
    markStarted();
    main();
}

bool TRNAsyncOperation::checkForCancellation() {
    if (!isCancelled()) return false;
    markDone();
    return true;
}

void TRNAsyncOperation::finishWithError(const std::optional<net::Error>& error) {
    if (asyncCompletion) asyncCompletion(error);
    markDone();
}

void TRNAsyncOperation::markStarted() {
    lock([this] { unlockedMarkStarted(); });
}

void TRNAsyncOperation::markDone() {
    lock([this] {
        if (internalFinished_) return;  // there is no way back from finished, nor twice
        unlockedMarkComplete();
        unlockedMarkFinished();
    });
}

void TRNAsyncOperation::unlockedMarkStarted() {
    changeValueForKey("isExecuting", [this] { internalExecuting_ = true; });
}

void TRNAsyncOperation::unlockedMarkComplete() {
    changeValueForKey("isExecuting", [this] { internalExecuting_ = false; });
}

void TRNAsyncOperation::unlockedMarkFinished() {
    changeValueForKey("isFinished", [this] { internalFinished_ = true; });
}

void TRNAsyncOperation::changeValueForKey(const std::string& key,
                                          const std::function<void()>& block) {
    willChangeValueForKey(key);
    block();
    didChangeValueForKey(key);
}

void TRNAsyncOperation::lock(const std::function<void()>& block) const {
    std::lock_guard guard(lock_);
    block();
}

}  // namespace wv
