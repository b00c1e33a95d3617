#include "platform/net/URLSession.h"

#include "platform/net/SessionEngine.h"

namespace wv::net {

std::shared_ptr<URLSession> URLSession::create(URLSessionConfiguration configuration,
                                               std::shared_ptr<URLSessionDelegate> delegate,
                                               Executor delegateQueue) {
    std::shared_ptr<URLSession> session(new URLSession());
    session->engine_ = std::make_shared<SessionEngine>(
        std::move(configuration), std::move(delegate), std::move(delegateQueue));
    session->engine_->start(session);
    return session;
}

URLSession::~URLSession() { engine_->ownerGone(); }

const URLSessionConfiguration& URLSession::configuration() const {
    return engine_->configuration();
}

std::shared_ptr<URLSessionDelegate> URLSession::delegate() const { return engine_->delegate(); }

std::shared_ptr<URLSessionTask> URLSession::makeTask(URLSessionTask::Kind kind,
                                                     URLRequest request) {
    for (const auto& [name, value] : engine_->configuration().HTTPAdditionalHeaders.fields()) {
        if (!request.headers.contains(name)) request.headers.set(name, value);
    }
    if (request.timeoutInterval <= 0)
        request.timeoutInterval = engine_->configuration().timeoutIntervalForRequest;
    return std::make_shared<URLSessionTask>(engine_, engine_->nextIdentifier(), kind,
                                            std::move(request));
}

std::shared_ptr<URLSessionTask> URLSession::dataTask(URLRequest request,
                                                     URLSessionTask::DataCompletion completion) {
    auto task = makeTask(URLSessionTask::Kind::Data, std::move(request));
    task->dataCompletion_ = std::move(completion);
    return engine_->registerTask(task) ? task : nullptr;
}

std::shared_ptr<URLSessionTask> URLSession::uploadTask(URLRequest request, std::string fromFile,
                                                       URLSessionTask::DataCompletion completion) {
    request.body.clear();
    request.bodyFile = std::move(fromFile);
    auto task = makeTask(URLSessionTask::Kind::Upload, std::move(request));
    task->dataCompletion_ = std::move(completion);
    return engine_->registerTask(task) ? task : nullptr;
}

std::shared_ptr<URLSessionTask> URLSession::downloadTask(
    URLRequest request, URLSessionTask::DownloadCompletion completion) {
    auto task = makeTask(URLSessionTask::Kind::Download, std::move(request));
    task->downloadCompletion_ = std::move(completion);
    return engine_->registerTask(task) ? task : nullptr;
}

void URLSession::invalidateAndCancel() { engine_->invalidate(true); }

void URLSession::finishTasksAndInvalidate() { engine_->invalidate(false); }

bool URLSession::isInvalidated() const { return engine_->isInvalidated(); }

void URLSession::getTasks(TasksCallback callback) { engine_->getTasks(std::move(callback)); }

}  // namespace wv::net
