#include "platform/dispatch/Operation.h"

#include <algorithm>
#include <stdexcept>

namespace wv {

namespace {
const std::string kIsReady = "isReady";
const std::string kIsExecuting = "isExecuting";
const std::string kIsFinished = "isFinished";
const std::string kIsCancelled = "isCancelled";
}  // namespace

void Operation::start() {
    if (isExecuting() || isFinished() || started_.load())
        throw std::logic_error("Operation::start: the operation was already started");
    if (!isReady()) throw std::logic_error("Operation::start: the operation is not ready");
    if (started_.exchange(true))
        throw std::logic_error("Operation::start: the operation was already started");
    if (isCancelled()) {
        finish();
        return;
    }
    setExecuting(true);
    main();
    if (!isAsynchronous()) finish();
}

void Operation::finish() {
    if (finishClaimed_.exchange(true)) return;
    if (executing_.load()) setExecuting(false);
    willChangeValueForKey(kIsFinished);
    finished_ = true;
    didChangeValueForKey(kIsFinished);
}

void Operation::setExecuting(bool executing) {
    willChangeValueForKey(kIsExecuting);
    executing_ = executing;
    didChangeValueForKey(kIsExecuting);
}

void Operation::cancel() {
    if (isFinished() || cancelClaimed_.exchange(true)) return;
    willChangeValueForKey(kIsCancelled);
    cancelled_ = true;
    didChangeValueForKey(kIsCancelled);
    // A cancelled operation is ready at once; queues waiting on its dependencies look again.
    if (!started_.load()) {
        willChangeValueForKey(kIsReady);
        didChangeValueForKey(kIsReady);
    }
}

bool Operation::isReady() const {
    if (isCancelled()) return true;
    // Copied so that no dependency is asked while our mutex is held: a dependency that keeps its
    // own lock may be asking us at the same moment.
    std::vector<std::shared_ptr<Operation>> dependencies;
    {
        std::lock_guard lock(mutex_);
        dependencies = dependencies_;
    }
    return std::all_of(dependencies.begin(), dependencies.end(),
                       [](const auto& d) { return d->isDone(); });
}

void Operation::addDependency(const std::shared_ptr<Operation>& dependency) {
    if (!dependency || dependency.get() == this)
        throw std::invalid_argument(
            "Operation::addDependency: an operation cannot depend on itself or on nothing");
    {
        std::lock_guard lock(mutex_);
        if (started_.load())
            throw std::logic_error("Operation::addDependency: the operation was already started");
        if (std::find(dependencies_.begin(), dependencies_.end(), dependency) !=
            dependencies_.end())
            return;
        dependencies_.push_back(dependency);
    }
    std::lock_guard lock(dependency->mutex_);
    dependency->dependents_.push_back(weak_from_this());
}

void Operation::removeDependency(const std::shared_ptr<Operation>& dependency) {
    bool removed = false;
    {
        std::lock_guard lock(mutex_);
        auto it = std::find(dependencies_.begin(), dependencies_.end(), dependency);
        if (it != dependencies_.end()) {
            dependencies_.erase(it);
            removed = true;
        }
    }
    if (removed) dependencyFinished();  // may have become ready
}

std::vector<std::shared_ptr<Operation>> Operation::dependencies() const {
    std::lock_guard lock(mutex_);
    return dependencies_;
}

void Operation::setCompletionBlock(Block block) {
    std::lock_guard lock(mutex_);
    completionBlock_ = std::move(block);
}

std::uint64_t Operation::addObserver(const std::string& key, Observer observer) {
    std::lock_guard lock(mutex_);
    const std::uint64_t token = nextToken_++;
    observers_.push_back({token, key, std::make_shared<Observer>(std::move(observer))});
    return token;
}

void Operation::removeObserver(std::uint64_t token) {
    std::lock_guard lock(mutex_);
    std::erase_if(observers_, [token](const Observation& o) { return o.token == token; });
}

void Operation::willChangeValueForKey(const std::string& key) { notify(key, Change::Will); }

void Operation::didChangeValueForKey(const std::string& key) {
    notify(key, Change::Did);
    if (key == kIsFinished && isFinished()) finishedChanged();
}

void Operation::notify(const std::string& key, Change change) {
    std::vector<std::shared_ptr<Observer>> observers;
    {
        std::lock_guard lock(mutex_);
        for (const auto& o : observers_)
            if (o.key == key) observers.push_back(o.observer);
    }
    for (const auto& observer : observers) (*observer)(*this, key, change);
}

void Operation::finishedChanged() {
    Block completion;
    std::vector<std::weak_ptr<Operation>> dependents;
    std::vector<Block> hooks;
    {
        std::lock_guard lock(mutex_);
        if (finishHandled_) return;
        finishHandled_ = true;
        completion = std::move(completionBlock_);
        completionBlock_ = nullptr;  // lets go of what it captured, often this very operation
    }
    auto keep = weak_from_this().lock();  // the completion block may drop the last owner
    if (completion) completion();
    {
        std::lock_guard lock(mutex_);
        done_ = true;
        dependents.swap(dependents_);
        hooks.swap(finishedHooks_);
    }
    finishedCondition_.notify_all();
    for (const auto& weak : dependents)
        if (auto dependent = weak.lock()) dependent->dependencyFinished();
    for (const auto& hook : hooks) hook();
}

void Operation::dependencyFinished() {
    if (started_.load() || !isReady()) return;
    willChangeValueForKey(kIsReady);
    didChangeValueForKey(kIsReady);
}

void Operation::waitUntilFinished() {
    std::unique_lock lock(mutex_);
    finishedCondition_.wait(lock, [this] { return done_.load(); });
}

void Operation::onFinished(Block hook) {
    {
        std::lock_guard lock(mutex_);
        if (!done_) {
            finishedHooks_.push_back(std::move(hook));
            return;
        }
    }
    hook();
}

}  // namespace wv
