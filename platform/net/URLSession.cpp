#include "platform/net/URLSession.h"

#include <thread>

#include "platform/net/NetModule.h"
#include "platform/net/SessionEngine.h"

namespace wv::net {

URLSession::URLSession(URLSessionConfiguration configuration,
                       std::shared_ptr<URLSessionDelegate> delegate, Executor executor)
    : configuration_(std::move(configuration)),
      executor_(std::move(executor)),
      delegate_(std::move(delegate)) {}

std::shared_ptr<URLSession> URLSession::create(URLSessionConfiguration configuration,
                                               std::shared_ptr<URLSessionDelegate> delegate,
                                               Executor delegateQueue) {
    return std::shared_ptr<URLSession>(
        new URLSession(std::move(configuration), std::move(delegate), std::move(delegateQueue)));
}

URLSession::~URLSession() {
    if (engine_) engine_->ownerGone();
}

std::shared_ptr<SessionEngine> URLSession::engine() {
    std::lock_guard lock(mutex_);
    if (engine_ || invalidated_) return engine_;
    NetModule* module = NetModule::shared();
    if (!module) return nullptr;
    engine_ = module->makeSessionEngine(configuration_, std::move(delegate_), executor_);
    engine_->start(weak_from_this());
    return engine_;
}

const URLSessionConfiguration& URLSession::configuration() const { return configuration_; }

std::shared_ptr<URLSessionDelegate> URLSession::delegate() const {
    std::lock_guard lock(mutex_);
    return engine_ ? engine_->delegate() : delegate_;
}

std::shared_ptr<URLSessionTask> URLSession::makeTask(URLSessionTask::Kind kind,
                                                     URLRequest request) {
    auto engine = this->engine();
    if (!engine) return nullptr;
    for (const auto& [name, value] : configuration_.HTTPAdditionalHeaders.fields()) {
        if (!request.headers.contains(name)) request.headers.set(name, value);
    }
    if (request.timeoutInterval <= 0)
        request.timeoutInterval = configuration_.timeoutIntervalForRequest;
    return std::make_shared<URLSessionTask>(engine, engine->nextIdentifier(), kind,
                                            std::move(request));
}

std::shared_ptr<URLSessionTask> URLSession::dataTask(URLRequest request,
                                                     URLSessionTask::DataCompletion completion) {
    auto task = makeTask(URLSessionTask::Kind::Data, std::move(request));
    if (!task) return nullptr;
    task->dataCompletion_ = std::move(completion);
    return engine()->registerTask(task) ? task : nullptr;
}

std::shared_ptr<URLSessionTask> URLSession::uploadTask(URLRequest request, std::string fromFile,
                                                       URLSessionTask::DataCompletion completion) {
    request.body.clear();
    request.bodyFile = std::move(fromFile);
    auto task = makeTask(URLSessionTask::Kind::Upload, std::move(request));
    if (!task) return nullptr;
    task->dataCompletion_ = std::move(completion);
    return engine()->registerTask(task) ? task : nullptr;
}

std::shared_ptr<URLSessionTask> URLSession::downloadTask(
    URLRequest request, URLSessionTask::DownloadCompletion completion) {
    auto task = makeTask(URLSessionTask::Kind::Download, std::move(request));
    if (!task) return nullptr;
    task->downloadCompletion_ = std::move(completion);
    return engine()->registerTask(task) ? task : nullptr;
}

void URLSession::deliver(std::function<void()> block) {
    if (executor_) {
        executor_(std::move(block));
    } else {
        std::thread(std::move(block)).detach();
    }
}

void URLSession::invalidate(bool cancelRunning) {
    std::shared_ptr<SessionEngine> engine;
    std::shared_ptr<URLSessionDelegate> delegate;
    {
        std::lock_guard lock(mutex_);
        engine = engine_;
        if (!engine) {
            if (invalidated_) return;
            invalidated_ = true;
            delegate = std::move(delegate_);
        }
    }
    if (engine) {
        engine->invalidate(cancelRunning);
        return;
    }
    // Never given a task: there is no transport to stop, only the delegate to tell.
    auto self = weak_from_this().lock();
    if (delegate && self)
        deliver([delegate, self] { delegate->didBecomeInvalid(self, std::nullopt); });
}

void URLSession::invalidateAndCancel() { invalidate(true); }

void URLSession::finishTasksAndInvalidate() { invalidate(false); }

bool URLSession::isInvalidated() const {
    std::lock_guard lock(mutex_);
    return engine_ ? engine_->isInvalidated() : invalidated_;
}

void URLSession::getTasks(TasksCallback callback) {
    if (auto engine = this->engine()) {
        engine->getTasks(std::move(callback));
        return;
    }
    deliver([callback = std::move(callback)] { callback({}, {}, {}); });
}

}  // namespace wv::net
