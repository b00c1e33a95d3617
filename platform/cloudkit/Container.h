#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/cloudkit/Backend.h"
#include "platform/cloudkit/CloudConfiguration.h"
#include "platform/cloudkit/ContainerCore.h"
#include "platform/cloudkit/Database.h"

namespace wv {
class OperationQueue;
}

namespace wv::ck {

class CloudOperation;

// A cloud container as one installation sees it: the account status, the public and private
// databases, the operations on them, and the remote notifications the server pushes when
// others change what the installation subscribed to. Every server call runs on the
// container's worker thread; every completion and block runs once, in order, on the callback
// queue (the main queue unless the container was given another). Posts
// "CKAccountChangedNotification" (from the container) on the callback queue when the
// account status it learnt changes.
class Container {
  public:
    using AccountStatusCompletion =
        std::function<void(AccountStatus status, const std::optional<Error>& error)>;

    // The main queue as a callback queue.
    static CallbackQueue mainQueue();
    // The program's own container, configured from its environment or "cloud.plist".
    static Container& defaultContainer();

    explicit Container(CloudConfiguration configuration, CallbackQueue callbackQueue = mainQueue());
    ~Container();
    Container(const Container&) = delete;
    Container& operator=(const Container&) = delete;

    const std::string& containerIdentifier() const;
    // Empty without a cloud.
    const std::string& installationIdentifier() const;

    Database& publicCloudDatabase() { return *publicDB_; }
    Database& privateCloudDatabase() { return *privateDB_; }

    void accountStatusWithCompletionHandler(AccountStatusCompletion completion);
    // The status learnt last, read atomically from any thread.
    AccountStatus accountStatus() const;

    // Container-wide operations (the notification fetch); they act on the private data.
    void addOperation(std::shared_ptr<CloudOperation> operation);

    // Pushes come to `handler` on the callback queue, one per poll that found notifications
    // others caused; none (an empty handler) stops them.
    void registerForRemoteNotifications(ContainerCore::RemoteNotificationHandler handler);
    void unregisterForRemoteNotifications();

    const std::shared_ptr<ContainerCore>& core() const { return core_; }

  private:
    void enqueue(std::shared_ptr<CloudOperation> operation);

    std::shared_ptr<ContainerCore> core_;
    std::unique_ptr<OperationQueue> queue_;
    std::unique_ptr<Database> publicDB_;
    std::unique_ptr<Database> privateDB_;
};

}  // namespace wv::ck
