#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/dispatch/SerialQueue.h"
#include "platform/dispatch/Timer.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/net/Certificate.h"
#include "platform/net/URLRequest.h"
#include "sdk/crash/kit/QXBetaControllerDelegate.h"
#include "sdk/crash/kit/QXBetaUpdate.h"

namespace wv {

class TRNNetworkClient;

// The installation's beta token. This platform hands out none, so the beta check stays inert
// in every real run; only a test gives one (below).
std::optional<std::string> QXGetBetaToken();
// Tests only: the token QXGetBetaToken gives from now on (none: back to no token).
void QXSetBetaTokenForTesting(std::optional<std::string> token);

// Asks the beta endpoint whether a newer test build is offered to this installation and keeps
// the latest usable offer as the active update. Each settings download triggers a check;
// after a successful one, checks pause for the settings' suspension time.
//
// Threads: the check logic and the in-flight mark live on the serial beta queue; the
// suspension mark, its timer and the active update are set on the main queue. The accessors
// may be read from any thread.
class QXBetaController : public std::enable_shared_from_this<QXBetaController> {
  public:
    using UpdateCompletion =
        std::function<void(std::shared_ptr<QXBetaUpdate> update, std::optional<Error> error)>;

    static constexpr const char* kQueueLabel = "com.balvik.quellix.mac.beta";
    static constexpr uint64_t kRetryLimit = 10;
    static constexpr double kRequestTimeout = 10.0;
    static constexpr const char* kUserAgent = "Quellix Mac SDK/3.10.1";
    static constexpr const char* kClientIdentifier = "com.balvik.quellix.mac";
    static constexpr const char* kDisplayVersion = "3.10.1";
    static constexpr const char* kBuildVersion = "129";
    static constexpr const char* kDeveloperToken = "7c1e9a04b3d2f58e6a0c4b71d9e2f3a85b6c0d17";

    // Not in an application extension, and only for a build signed for distribution
    // (install source 3).
    static bool isBetaSupported();
    static std::vector<net::Certificate> pinnnedCertificates();

    // initWithDelegate: makes the queue and the network client (no queue of its own, the
    // pinned certificates); a client that cannot be made is logged in debug mode.
    static std::shared_ptr<QXBetaController> create(std::weak_ptr<QXBetaControllerDelegate> delegate);
    ~QXBetaController();
    QXBetaController(const QXBetaController&) = delete;
    QXBetaController& operator=(const QXBetaController&) = delete;

    // Read from QXGetBetaToken the first time and kept.
    std::optional<std::string> betaToken();
    const std::shared_ptr<TRNNetworkClient>& networkClient() const { return networkClient_; }
    SerialQueue& queue() { return *queue_; }

    // False without a beta token; else watches for settings downloads (until the controller
    // goes) and is true.
    bool start();

    void tarnelSettingsDownloaded(const Notification& notification);
    void applicationWillEnterForeground(const Notification& notification);
    void applicationWillEnterForeground();
    void checkForUpdate();
    void maybeGetUpdate(UpdateCompletion completion);
    void loadUpdateWithCompletionBlock(UpdateCompletion completion);
    // The network client's answer. A failure (an error, or no body) ends the check without
    // calling `completion`, and frees the controller for the next check.
    void handledCompletedBetaRequestWithData(const std::optional<std::string>& data,
                                             const std::optional<Error>& error,
                                             UpdateCompletion completion);
    // A body that is no JSON, or no usable offer: none, with the reason in `error`.
    static std::shared_ptr<QXBetaUpdate> updateWithData(const std::string& data,
                                                        std::optional<Error>* error);
    void temporarilySuspendChecks();
    void allowChecks();
    bool shouldGetUpdates();
    void didGetUpdate(std::shared_ptr<QXBetaUpdate> update);
    void showBetaAlertForUpdate(std::shared_ptr<QXBetaUpdate> update);

    // The check request: URL (none when it cannot be made) and the whole request.
    std::optional<std::string> betaUpdateURL();
    net::URLRequest betaUpdateRequest(const std::string& url);

    std::optional<std::string> appBundleIdentifier();
    std::optional<std::string> appBuildVersion();
    std::optional<std::string> appDisplayVersion();
    std::optional<std::string> appInstanceIdentifier();
    int appInstallationSource();
    std::optional<std::string> APIKey();
    std::string betaEndpoint();
    // None when checks are not to pause after a successful one.
    std::optional<double> betaUpdateSuspendDurationSecs();

    bool retrying() const { return retrying_.load(); }
    bool checksSuspended() const { return checksSuspended_.load(); }
    std::shared_ptr<QXBetaUpdate> activeUpdate() const;

  private:
    explicit QXBetaController(std::weak_ptr<QXBetaControllerDelegate> delegate);
    QXSettings settings();

    std::weak_ptr<QXBetaControllerDelegate> delegate_;
    std::shared_ptr<TRNNetworkClient> networkClient_;
    std::unique_ptr<SerialQueue> queue_;

    mutable std::mutex mutex_;  // the token, the observer, the timer and the active update
    bool tokenRead_ = false;
    std::optional<std::string> betaToken_;
    std::optional<NotificationCenter::ObserverToken> observer_;
    std::shared_ptr<Timer> checkSuspensionTimer_;
    std::shared_ptr<QXBetaUpdate> activeUpdate_;

    std::atomic<bool> retrying_{false};        // written on the beta queue only
    std::atomic<bool> checksSuspended_{false};  // written on the main queue only
};

}  // namespace wv
