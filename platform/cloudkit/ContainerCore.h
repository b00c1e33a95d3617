#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/cloudkit/Backend.h"
#include "platform/cloudkit/CloudConfiguration.h"
#include "platform/cloudkit/InstallationFile.h"
#include "platform/dispatch/SerialQueue.h"
#include "platform/plist/Value.h"

namespace wv::ck {

// Runs a block on the queue where a container's callbacks belong. It must be serial: a
// container's callbacks never run on two threads at once.
using CallbackQueue = std::function<void(std::function<void()>)>;

// What a call on the worker thread gets: the backend (none when there is no cloud or its
// store was refused; `unavailable` then says why) and who calls.
struct ServerAccess {
    Backend* backend = nullptr;
    std::optional<Error> unavailable;
    Caller caller;
};

// The inside of a container, shared with its databases, operations and key-value store:
// one worker thread that makes every server call of the container one after another, the
// callback queue, the installation's own file, and the push poll (every 250 ms) that delivers
// remote notifications, follows the account status and wakes the key-value store.
class ContainerCore : public std::enable_shared_from_this<ContainerCore> {
  public:
    static constexpr double kPollInterval = 0.25;
    static constexpr const char* kAccountChangedNotification = "CKAccountChangedNotification";

    using RemoteNotificationHandler = std::function<void(const plist::Dictionary& userInfo)>;

    // `sender` is what the account notification names as its sender (the container).
    ContainerCore(CloudConfiguration configuration, CallbackQueue callbackQueue,
                  const void* sender);
    ~ContainerCore();

    // Stops the poll and the worker; waits for the server call in progress.
    void shutdown();

    const CloudConfiguration& configuration() const { return configuration_; }
    bool configured() const { return configuration_.configured(); }
    // Empty without a cloud: nothing is written for an unconfigured installation.
    const std::string& installationIdentifier() const { return installation_; }
    InstallationFile* installationFile() { return file_.get(); }

    // Runs `work` on the worker thread.
    void perform(std::function<void(const ServerAccess&)> work);
    // Runs `block` on the callback queue.
    void deliver(std::function<void()> block);
    // The error an operation gets without a usable cloud.
    static Error unavailableError(const ServerAccess& access);

    // The status learnt last (CouldNotDetermine before any), readable from any thread.
    AccountStatus lastAccountStatus() const;
    // Records a status learnt on the worker; posts "CKAccountChangedNotification" on the
    // callback queue when it differs from a status learnt before.
    void accountStatusLearnt(AccountStatus status);

    void setRemoteNotificationHandler(RemoteNotificationHandler handler);
    // Told on the worker when others wrote key-value entries, and after an exchange failed.
    void setKeyValueWatcher(std::function<void(const ServerAccess&)> watcher,
                            std::function<int64_t()> cursor);
    // Said on the worker by each key-value exchange: while the last one failed, every poll
    // tells the watcher again, so a value set here still reaches the others when no further
    // synchronize() comes.
    void keyValueExchangeFailed(bool failed) { keyValuesOwed_ = failed; }

  private:
    void ensureStarted(ServerAccess& access);
    // Polls now rather than at the next tick (called from the backend's own thread).
    void pollSoon();
    void pollLoop();
    void pollOnce(const ServerAccess& access);

    CloudConfiguration configuration_;
    CallbackQueue callbackQueue_;
    const void* sender_;
    std::string installation_;
    std::unique_ptr<InstallationFile> file_;
    std::unique_ptr<Backend> backend_;       // used on the worker only
    std::atomic<Backend*> opened_{nullptr};  // for interrupt() from another thread
    std::optional<Error> refused_;
    bool started_ = false;  // worker only

    std::atomic<int> status_{-1};

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    bool pollQueued_ = false;
    bool pollSoon_ = false;
    bool registered_ = false;
    bool registrationSent_ = false;  // worker only
    bool keyValuesOwed_ = false;     // worker only
    RemoteNotificationHandler handler_;
    std::function<void(const ServerAccess&)> keyValueWatcher_;
    std::function<int64_t()> keyValueCursor_;
    std::thread poller_;
    std::unique_ptr<SerialQueue> worker_;
};

}  // namespace wv::ck
