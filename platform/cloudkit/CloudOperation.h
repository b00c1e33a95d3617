#pragma once

#include <functional>
#include <memory>

#include "platform/cloudkit/Backend.h"
#include "platform/dispatch/Operation.h"

namespace wv::ck {

class ContainerCore;
struct ServerAccess;

// The base of the operations a database or container runs. It is asynchronous: started by the
// container's operation queue once its dependencies have ended (whatever their outcome), it
// hands its server call to the container's worker thread, and finishes on the callback queue
// after its own blocks have run there, in order: the per-item blocks, then its completion,
// then the completion block set with setCompletionBlock. A dependent therefore starts only
// after all of those ran.
class CloudOperation : public Operation {
  public:
    bool isAsynchronous() const override { return true; }
    void main() override;

    // Made part of a container (and a database scope) when added; not to be called otherwise.
    void bind(std::weak_ptr<ContainerCore> core, Scope scope);

  protected:
    Scope scope() const { return scope_; }
    // On the worker thread: makes the server call and returns what is to run on the callback
    // queue before the operation finishes. Without a usable cloud `access.backend` is none.
    virtual std::function<void()> perform(const ServerAccess& access) = 0;

  private:
    std::weak_ptr<ContainerCore> core_;
    Scope scope_ = Scope::Private;
};

}  // namespace wv::ck
