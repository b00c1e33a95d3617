#pragma once

#include <cstdint>
#include <memory>

#include "platform/net/URLSession.h"

namespace wv::net {

// The machinery behind one URLSession once it has work: the connection cache, the thread that
// drives the transfers, and the serial delegate queue (NetModule makes it). Both threads hold
// the engine alive until they have nothing left to do, so an owner may let go at any time,
// even from a completion block.
class SessionEngine {
  public:
    virtual ~SessionEngine() = default;

    virtual void start(std::weak_ptr<URLSession> owner) = 0;
    virtual std::shared_ptr<URLSessionDelegate> delegate() const = 0;

    virtual uint64_t nextIdentifier() = 0;
    virtual bool registerTask(const std::shared_ptr<URLSessionTask>& task) = 0;
    virtual void resume(const std::shared_ptr<URLSessionTask>& task) = 0;
    virtual void cancel(const std::shared_ptr<URLSessionTask>& task) = 0;
    virtual void invalidate(bool cancelRunning) = 0;
    virtual bool isInvalidated() const = 0;
    virtual void getTasks(URLSession::TasksCallback callback) = 0;
    // The owner is gone: finish what runs, then let the threads end.
    virtual void ownerGone() = 0;
};

}  // namespace wv::net
