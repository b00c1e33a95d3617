#include "platform/cloudkit/Container.h"

#include "platform/cloudkit/CloudOperation.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/OperationQueue.h"

namespace wv::ck {

CallbackQueue Container::mainQueue() {
    return [](std::function<void()> block) { MainQueue::shared().async(std::move(block)); };
}

Container& Container::defaultContainer() {
    static Container container(CloudConfiguration::standard());
    return container;
}

Container::Container(CloudConfiguration configuration, CallbackQueue callbackQueue)
    : core_(std::make_shared<ContainerCore>(std::move(configuration), std::move(callbackQueue),
                                            this)),
      queue_(std::make_unique<OperationQueue>("cloudkit-operations")) {
    auto enqueue = [this](std::shared_ptr<CloudOperation> op) { this->enqueue(std::move(op)); };
    publicDB_ = std::make_unique<Database>(core_, enqueue, Scope::Public);
    privateDB_ = std::make_unique<Database>(core_, enqueue, Scope::Private);
}

Container::~Container() {
    queue_.reset();
    core_->shutdown();
}

const std::string& Container::containerIdentifier() const {
    return core_->configuration().containerIdentifier;
}

const std::string& Container::installationIdentifier() const {
    return core_->installationIdentifier();
}

void Container::accountStatusWithCompletionHandler(AccountStatusCompletion completion) {
    ContainerCore* core = core_.get();
    core_->perform([core, completion = std::move(completion)](const ServerAccess& access) {
        AccountResult result;
        if (access.backend) {
            result = access.backend->accountStatus(access.caller);
        } else if (!core->configured()) {
            result.status = AccountStatus::NoAccount;
        } else {
            result.error = ContainerCore::unavailableError(access);
        }
        core->accountStatusLearnt(result.status);
        core->deliver([completion, result] {
            if (completion) completion(result.status, result.error);
        });
    });
}

AccountStatus Container::accountStatus() const { return core_->lastAccountStatus(); }

void Container::addOperation(std::shared_ptr<CloudOperation> operation) {
    operation->bind(core_, Scope::Private);
    enqueue(std::move(operation));
}

void Container::enqueue(std::shared_ptr<CloudOperation> operation) {
    queue_->addOperation(std::move(operation));
}

void Container::registerForRemoteNotifications(ContainerCore::RemoteNotificationHandler handler) {
    core_->setRemoteNotificationHandler(std::move(handler));
}

void Container::unregisterForRemoteNotifications() { core_->setRemoteNotificationHandler(nullptr); }

}  // namespace wv::ck
