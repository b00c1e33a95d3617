#include "sdk/core/QXURLSession.h"

#include <thread>

#include "platform/dispatch/SerialQueue.h"
#include "sdk/core/QXPlatformURLSession.h"
#include "sdk/core/QXURLSessionDownloadTask.h"
#include "sdk/core/QXURLSessionUploadTask.h"

namespace wv {

namespace {
std::mutex gAvailabilityMutex;
std::optional<bool> gAvailability;
}  // namespace

bool QXURLSession::NSURLSessionShouldBeUsed() {
    std::lock_guard lock(gAvailabilityMutex);
    return gAvailability.value_or(true);
}

void QXURLSession::setPlatformSessionAvailableForTesting(std::optional<bool> available) {
    std::lock_guard lock(gAvailabilityMutex);
    gAvailability = available;
}

QXURLSession::Executor QXURLSession::newDefaultDelegateQueue() {
    struct Holder {
        std::unique_ptr<SerialQueue> queue =
            std::make_unique<SerialQueue>("QXURLSession delegate queue");
        ~Holder() {
            // The last owner may be one of the queue's own blocks: let another thread join it.
            std::thread([q = std::move(queue)]() mutable { q.reset(); }).detach();
        }
    };
    auto holder = std::make_shared<Holder>();
    return [holder](std::function<void()> block) { holder->queue->async(std::move(block)); };
}

std::shared_ptr<QXURLSession> QXURLSession::sessionWithConfiguration(
    const std::shared_ptr<QXURLSessionConfiguration>& configuration,
    std::shared_ptr<QXURLSessionDelegate> delegate, Executor delegateQueue) {
    if (NSURLSessionShouldBeUsed())
        return QXPlatformURLSession::make(configuration, std::move(delegate),
                                          std::move(delegateQueue));
    if (!configuration) return nullptr;
    if (delegate && !delegateQueue) delegateQueue = newDefaultDelegateQueue();
    return std::shared_ptr<QXURLSession>(
        new QXURLSession(configuration->copy(), std::move(delegate), std::move(delegateQueue)));
}

QXURLSession::QXURLSession(std::shared_ptr<QXURLSessionConfiguration> configuration,
                           std::shared_ptr<QXURLSessionDelegate> delegate, Executor delegateQueue)
    : configuration_(std::move(configuration)),
      delegate_(std::move(delegate)),
      delegateQueue_(std::move(delegateQueue)) {}

QXURLSession::~QXURLSession() = default;

std::shared_ptr<QXURLSessionDelegate> QXURLSession::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}

void QXURLSession::configureTask(QXURLSessionTask& task, const net::URLRequest& request,
                                 const std::function<void(net::URLRequest&)>& block) {
    net::URLRequest prepared = request;
    {
        std::lock_guard lock(prepareMutex_);
        if (configuration_) {
            for (const auto& [name, value] : configuration_->HTTPAdditionalHeaders.fields())
                prepared.headers.add(name, value);
        }
    }
    if (block) block(prepared);
    task.setOriginalRequest(std::move(prepared));
    task.setDelegate(weak_from_this());
}

std::shared_ptr<QXURLSessionTask> QXURLSession::dataTaskWithRequest(const net::URLRequest& request,
                                                                    DataCompletion completion) {
    auto task = QXURLSessionTask::task<QXURLSessionDataTask>();
    if (completion) {
        task->setCompletionHandler(std::move(completion));
        task->setInvokesDelegate(false);
    }
    configureTask(*task, request, {});
    return task;
}

std::shared_ptr<QXURLSessionTask> QXURLSession::uploadTaskWithRequest(
    const net::URLRequest& request, const std::string& fromFile, DataCompletion completion) {
    auto task = QXURLSessionTask::task<QXURLSessionUploadTask>();
    if (completion) {
        task->setCompletionHandler(std::move(completion));
        task->setInvokesDelegate(false);
    }
    configureTask(*task, request, [&](net::URLRequest& r) {
        r.body.clear();
        r.bodyFile = fromFile;
    });
    return task;
}

std::shared_ptr<QXURLSessionTask> QXURLSession::downloadTaskWithRequest(
    const net::URLRequest& request, DownloadCompletion completion) {
    auto task = QXURLSessionTask::task<QXURLSessionDownloadTask>();
    if (completion) {
        task->setDownloadCompletionHandler(std::move(completion));
        task->setInvokesDelegate(false);
    }
    configureTask(*task, request, {});
    return task;
}

std::shared_ptr<QXURLSessionTask> QXURLSession::downloadTaskWithURL(const std::string& url) {
    return downloadTaskWithRequest(net::URLRequest(url));
}

void QXURLSession::invalidateAndCancel() {
    std::lock_guard lock(mutex_);
    delegate_.reset();
}

void QXURLSession::finishTasksAndInvalidate() { invalidateAndCancel(); }

void QXURLSession::getTasksWithCompletionHandler(TasksCallback callback) {
    auto run = [callback = std::move(callback)] { callback({}, {}, {}); };
    if (delegateQueue_)
        delegateQueue_(std::move(run));
    else
        newDefaultDelegateQueue()(std::move(run));
}

bool QXURLSession::shouldInvokeDelegateForTask(const QXURLSessionTask& task) const {
    return task.invokesDelegate() && delegate() != nullptr;
}

void QXURLSession::deliver(std::function<void(QXURLSession&, QXURLSessionDelegate&)> message) {
    auto delegate = this->delegate();
    if (!delegate || !delegateQueue_) return;
    std::weak_ptr<QXURLSession> weak = weak_from_this();
    delegateQueue_([weak, delegate, message = std::move(message)] {
        if (auto session = weak.lock()) message(*session, *delegate);
    });
}

void QXURLSession::taskDidReceiveResponse(QXURLSessionTask& task,
                                          const net::URLResponse& response) {
    if (!shouldInvokeDelegateForTask(task)) return;
    auto t = task.shared_from_this();
    deliver([t, response](QXURLSession& s, QXURLSessionDelegate& d) {
        d.URLSessionDataTaskDidReceiveResponse(s, *t, response, [](int) {});
    });
}

void QXURLSession::taskDidReceiveData(QXURLSessionTask& task, const std::string& data) {
    if (!shouldInvokeDelegateForTask(task)) return;
    auto t = task.shared_from_this();
    deliver([t, data](QXURLSession& s, QXURLSessionDelegate& d) {
        d.URLSessionDataTaskDidReceiveData(s, *t, data);
    });
}

void QXURLSession::downloadTaskDidFinishDownloadingToURL(QXURLSessionTask& task,
                                                         const std::string& path) {
    auto t = task.shared_from_this();
    if (!shouldInvokeDelegateForTask(task)) {
        t->cleanup();
        return;
    }
    deliver([t, path](QXURLSession& s, QXURLSessionDelegate& d) {
        d.URLSessionDownloadTaskDidFinishDownloadingToURL(s, *t, path);
        t->cleanup();
    });
}

void QXURLSession::taskDidCompleteWithError(QXURLSessionTask& task,
                                            const std::optional<net::Error>& error) {
    if (!shouldInvokeDelegateForTask(task)) return;
    auto t = task.shared_from_this();
    deliver([t, error](QXURLSession& s, QXURLSessionDelegate& d) {
        d.URLSessionTaskDidCompleteWithError(s, *t, error);
    });
}

net::URLRequest QXURLSession::taskWillPerformHTTPRedirection(QXURLSessionTask&,
                                                             const net::URLRequest& newRequest) {
    return newRequest;
}

}  // namespace wv
