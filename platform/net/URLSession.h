#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/net/URLRequest.h"
#include "platform/net/URLSessionConfiguration.h"
#include "platform/net/URLSessionDelegate.h"
#include "platform/net/URLSessionTask.h"

namespace wv::net {

class SessionEngine;

// A set of HTTP(S) exchanges that share one connection cache, one delegate and one delegate
// queue. Transfers run on a thread of the session's own; every completion block and delegate
// message runs on the delegate queue, one at a time in the order the events happened. The
// transport (its threads, and the network module with libcurl) starts with the first task: a
// session that never gets one costs no more than its own fields.
//
// Trust: the chain a server presents is never checked against a CA file. Each new TLS
// connection raises a server-trust challenge to the delegate; default handling (also when
// there is no delegate) accepts a chain to a root of the system store that names the host.
// A server that asks for a client certificate raises a client-certificate challenge; a
// cancelled one fails the task with -1206, a rejected server with -1202.
class URLSession : public std::enable_shared_from_this<URLSession> {
  public:
    // Runs a block later, one at a time and in order: the delegate queue.
    using Executor = std::function<void(std::function<void()>)>;
    using TasksCallback =
        std::function<void(std::vector<std::shared_ptr<URLSessionTask>> data,
                           std::vector<std::shared_ptr<URLSessionTask>> upload,
                           std::vector<std::shared_ptr<URLSessionTask>> download)>;

    // Without an executor the session makes a serial delegate queue of its own. The session
    // holds the delegate until it has been invalidated and every task has completed.
    static std::shared_ptr<URLSession> create(URLSessionConfiguration configuration,
                                              std::shared_ptr<URLSessionDelegate> delegate = {},
                                              Executor delegateQueue = {});
    // A session dropped by its owner finishes its running tasks, then stops its threads.
    ~URLSession();
    URLSession(const URLSession&) = delete;
    URLSession& operator=(const URLSession&) = delete;

    const URLSessionConfiguration& configuration() const;
    std::shared_ptr<URLSessionDelegate> delegate() const;

    // Each returns a suspended task, or nullptr once the session has been invalidated.
    // The configuration's additional headers are added where the request has no such field.
    std::shared_ptr<URLSessionTask> dataTask(URLRequest request,
                                             URLSessionTask::DataCompletion completion = {});
    std::shared_ptr<URLSessionTask> uploadTask(URLRequest request, std::string fromFile,
                                               URLSessionTask::DataCompletion completion = {});
    std::shared_ptr<URLSessionTask> downloadTask(
        URLRequest request, URLSessionTask::DownloadCompletion completion = {});

    // Cancels every task (each completes with -999) and takes no new one.
    void invalidateAndCancel();
    // Takes no new task; running ones finish, tasks never resumed are cancelled.
    void finishTasksAndInvalidate();
    bool isInvalidated() const;
    // Calls back on the delegate queue with the tasks not yet completed.
    void getTasks(TasksCallback callback);

  private:
    URLSession(URLSessionConfiguration configuration, std::shared_ptr<URLSessionDelegate> delegate,
               Executor executor);
    // The engine, made at the first need; nullptr once invalidated without one, or when the
    // network module cannot be opened.
    std::shared_ptr<SessionEngine> engine();
    std::shared_ptr<URLSessionTask> makeTask(URLSessionTask::Kind kind, URLRequest request);
    void invalidate(bool cancelRunning);
    // Runs a block as the delegate queue would, for a session that has no engine.
    void deliver(std::function<void()> block);

    const URLSessionConfiguration configuration_;
    const Executor executor_;
    mutable std::mutex mutex_;
    std::shared_ptr<URLSessionDelegate> delegate_;  // until the engine takes it
    std::shared_ptr<SessionEngine> engine_;
    bool invalidated_ = false;  // without an engine
};

}  // namespace wv::net
