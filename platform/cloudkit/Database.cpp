#include "platform/cloudkit/Database.h"

#include "platform/cloudkit/CloudOperation.h"
#include "platform/cloudkit/ContainerCore.h"

namespace wv::ck {

Database::Database(std::weak_ptr<ContainerCore> core,
                   std::function<void(std::shared_ptr<CloudOperation>)> enqueue, Scope scope)
    : core_(std::move(core)), enqueue_(std::move(enqueue)), scope_(scope) {}

void Database::addOperation(std::shared_ptr<CloudOperation> operation) {
    operation->bind(core_, scope_);
    enqueue_(std::move(operation));
}

void Database::fetchAllSubscriptionsWithCompletionHandler(SubscriptionsCompletion completion) {
    auto core = core_.lock();
    if (!core) return;
    const Scope scope = scope_;
    ContainerCore* raw = core.get();
    core->perform([raw, scope, completion = std::move(completion)](const ServerAccess& access) {
        SubscriptionsResult result;
        if (access.backend) {
            result = access.backend->fetchAllSubscriptions(access.caller, scope);
        } else {
            result.error = ContainerCore::unavailableError(access);
        }
        raw->deliver([completion, result = std::move(result)] {
            if (!completion) return;
            if (result.error) {
                completion(std::nullopt, result.error);
            } else {
                completion(result.subscriptions, std::nullopt);
            }
        });
    });
}

void Database::saveSubscription(const Subscription& subscription,
                                SubscriptionCompletion completion) {
    auto core = core_.lock();
    if (!core) return;
    const Scope scope = scope_;
    ContainerCore* raw = core.get();
    core->perform(
        [raw, scope, subscription, completion = std::move(completion)](const ServerAccess& access) {
            SubscriptionResult result;
            if (access.backend) {
                result = access.backend->saveSubscription(access.caller, scope, subscription);
            } else {
                result.error = ContainerCore::unavailableError(access);
            }
            raw->deliver([completion, result = std::move(result)] {
                if (completion) completion(result.subscription, result.error);
            });
        });
}

}  // namespace wv::ck
