#pragma once

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/plist/Value.h"
#include "sdk/core/TRNDownloadAndSaveSettingsOperationDelegate.h"
#include "sdk/core/TRNOnboardingOperationDelegate.h"
#include "sdk/core/TRNSettings.h"

namespace wv {

class Tarnel;
class TRNApplicationIdentiferModel;
class TRNNetworkClient;
class TRNOnboardingOperation;

// The network conversation that follows the kit start, once per process: download the
// settings, register the application when they say it is new (then download again) or must be
// updated, and post TRNSettingsAvailableNotification once fresh settings are on disk. Every
// path ends by invalidating the network client. With no settings endpoint configured there is
// no conversation at all, nor with a bundle identifier that cannot name a settings folder.
//
// Threads: the first download starts on the caller's thread; every later step runs on the
// network client's callback thread, one after the other through the completions, so the
// conversation's own state needs no lock. `settingsModel` is read from any thread.
class TRNSettingsOnboardingManager
    : public TRNDownloadAndSaveSettingsOperationDelegate,
      public TRNOnboardingOperationDelegate,
      public std::enable_shared_from_this<TRNSettingsOnboardingManager> {
  public:
    static constexpr const char* kSettingsEndpointKey = "SettingsEndpoint";
    static constexpr const char* kConfigureEndpointKey = "ConfigureEndpoint";

    // `owner` gives the debug switch, the advertising token and the mode; it must call
    // detachFromOwner before it goes away.
    static std::shared_ptr<TRNSettingsOnboardingManager> initWithApplicationIdentifierModel(
        std::shared_ptr<TRNApplicationIdentiferModel> model, Tarnel* owner);
    ~TRNSettingsOnboardingManager() override;

    void beginSettingsAndOnboardingOperations(
        const std::string& APIKey, const std::map<std::string, std::string>& kitVersions);
    void beginSettingsDownload();
    void beginOnboarding(bool create, const std::string& endpointString);

    // The process environment, then the Info.plist dictionary "Quellix", then the built-in
    // value; the first that has the key as a string wins, even an empty one.
    std::optional<std::string> valueForConfigurationKey(const std::string& key) const;
    static std::optional<plist::Dictionary> configuration();
    // The build's endpoints (CMake cache options, empty unless a build sets them).
    static std::map<std::string, std::string> defaultConfiguration();
    static void setDefaultConfigurationForTesting(
        std::optional<std::map<std::string, std::string>> configuration);

    // <Caches>/io.tarnel.sdk.mac.data/<bundle id>, the identifier unchanged (a "/" nests
    // folders). None when there is no identifier or one of its components is empty, "." or
    // "..": the folder is emptied by every download, so it must lie inside the SDK's own.
    static std::optional<std::filesystem::path> settingsDirectoryPath();
    static std::optional<std::filesystem::path> settingsPath();
    std::optional<std::string> settingsURL() const;
    std::optional<std::string> advertisingToken() const;

    void finishNetworkingSession();
    void postSettingsDownloadCompletedNotification();

    const std::shared_ptr<TRNSettings>& settingsModel();
    const std::shared_ptr<TRNNetworkClient>& networkClient() const { return networkClient_; }
    const std::shared_ptr<TRNApplicationIdentiferModel>& appIdentifierModel() const {
        return appIdentifierModel_;
    }
    std::shared_ptr<TRNOnboardingOperation> onboardingOperation() const;
    bool hasAttemptedAppConfigure() const { return hasAttemptedAppConfigure_; }
    const std::string& APIKey() const { return APIKey_; }
    const std::map<std::string, std::string>& kitVersionsByKitBundleIdentifier() const {
        return kitVersionsByKitBundleIdentifier_;
    }
    // True once the conversation has ended (or there was none), false after `seconds`
    // without: what tests and benchmarks wait on.
    bool waitForNetworkingSessionToFinish(double seconds);
    void detachFromOwner();

    void operationDidDownloadAndSaveSettingsWithError(
        TRNDownloadAndSaveSettingsOperation& operation,
        const std::optional<net::Error>& error) override;
    void onboardingOperationDidCompleteAppCreationWithError(
        TRNOnboardingOperation& operation, const std::optional<net::Error>& error) override;
    void onboardingOperationDidCompleteAppUpdateWithError(
        TRNOnboardingOperation& operation, const std::optional<net::Error>& error) override;

    TRNSettingsOnboardingManager(std::shared_ptr<TRNApplicationIdentiferModel> model,
                                 Tarnel* owner);

  private:
    bool debug() const;
    void debugLog(const std::string& line) const;
    void setOnboardingOperation(std::shared_ptr<TRNOnboardingOperation> operation);
    // Wakes waiters once the step that ended the conversation has run to its end.
    void signalIfFinished();

    const std::shared_ptr<TRNApplicationIdentiferModel> appIdentifierModel_;
    std::shared_ptr<TRNNetworkClient> networkClient_;
    std::string APIKey_;
    std::map<std::string, std::string> kitVersionsByKitBundleIdentifier_;
    std::atomic<bool> hasAttemptedAppConfigure_{false};

    mutable std::mutex ownerMutex_;
    Tarnel* owner_;

    std::once_flag settingsOnce_;
    std::shared_ptr<TRNSettings> settingsModel_;
    std::optional<std::filesystem::path> settingsDirectory_;

    mutable std::mutex operationMutex_;
    std::shared_ptr<TRNOnboardingOperation> onboardingOperation_;

    std::mutex finishMutex_;
    std::condition_variable finishChanged_;
    bool ending_ = false;
    bool finished_ = false;
};

}  // namespace wv
