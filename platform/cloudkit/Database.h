#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/cloudkit/Backend.h"

namespace wv::ck {

class CloudOperation;
class ContainerCore;

// One of a container's two databases: the public one, shared by every account, or the
// private one of the signed-in account (whose calls fail as not authenticated without one).
// Completions run on the container's callback queue.
class Database {
  public:
    using SubscriptionsCompletion = std::function<void(
        const std::optional<std::vector<Subscription>>&, const std::optional<Error>&)>;
    using SubscriptionCompletion =
        std::function<void(const std::optional<Subscription>&, const std::optional<Error>&)>;

    Database(std::weak_ptr<ContainerCore> core,
             std::function<void(std::shared_ptr<CloudOperation>)> enqueue, Scope scope);

    Scope databaseScope() const { return scope_; }
    void addOperation(std::shared_ptr<CloudOperation> operation);
    void fetchAllSubscriptionsWithCompletionHandler(SubscriptionsCompletion completion);
    void saveSubscription(const Subscription& subscription, SubscriptionCompletion completion);

  private:
    std::weak_ptr<ContainerCore> core_;
    std::function<void(std::shared_ptr<CloudOperation>)> enqueue_;
    Scope scope_;
};

}  // namespace wv::ck
