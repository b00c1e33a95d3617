#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/NotificationCenter.h"
#include "platform/plist/Value.h"
#include "sdk/core/TRNKit.h"
#include "sdk/core/TRNSettings.h"

namespace wv {

class QXUserDefaults;
class TRNApplicationIdentiferModel;
class TRNSettingsOnboardingManager;

// The reporting SDK's entry and its one shared object: the kits read their identity, debug
// switch and API key from it. Made on the first sharedSDK() and kept for the whole process.
//
// Threads: the identifiers are fixed when the object is made. APIKey, advertisingToken and
// tarnelConfig are guarded and debug and installationMode are atomic, since kits read them
// from their own queues while the application's thread may still set them. The start runs
// at most once, synchronously on the thread that calls with(); a concurrent first call waits
// for it. A start that raised counts as done.
class Tarnel {
  public:
    static constexpr const char* kKitIdentifier = "io.tarnel.sdk.mac";
    static constexpr const char* kDisplayVersion = "1.7.5";
    static constexpr const char* kBuildVersion = "68";
    static constexpr const char* kPlatform = "mac";
    static constexpr const char* kInstallIDKey = "com.quellix.iuuid";
    static constexpr const char* kSettingsAvailableNotification =
        "TRNSettingsAvailableNotification";
    static constexpr const char* kOrvelleReadyNotification =
        "ORVAppReadyToConfigureSDKNotification";

    // Starts the SDK with the kits (once per process) and returns the shared object.
    static Tarnel& with(const std::vector<TRNKitArgument>& kits);
    static Tarnel& sharedSDK();
    static std::optional<plist::Dictionary> configurationDictionaryForKitClass(
        const TRNKitClass& kitClass);
    // Stands for the class-load hook: call once at process start, before anything can post
    // the Orvelle readiness notification. Watches for it on behalf of the shared object.
    static void load();
    // An object with its own identity in `store`, reading the main bundle and the executable
    // (empty: the running program), and its own settings and onboarding manager. sharedSDK()
    // is one of these; tests make their own.
    Tarnel(QXUserDefaults& store, const std::filesystem::path& executable);
    ~Tarnel();
    Tarnel(const Tarnel&) = delete;
    Tarnel& operator=(const Tarnel&) = delete;

    // `with:` on this object.
    Tarnel& start(const std::vector<TRNKitArgument>& kits);
    // Registers the one-shot Orvelle observer on the default centre for this object.
    void observeOrvelleReadiness();

    std::optional<std::string> APIKey();
    void setAPIKey(std::optional<std::string> key);
    const std::string& installID() const { return installID_; }
    bool isFirstInstall() const { return isFirstInstall_; }
    const std::string& executionIdentifier() const { return executionIdentifier_; }
    std::optional<std::string> advertisingToken() const;
    void setAdvertisingToken(std::optional<std::string> token);
    std::vector<const TRNKitClass*> kitClasses() const;
    void setKitClasses(std::vector<const TRNKitClass*> kits);
    // The validated Info.plist dictionary "Tarnel"; raises TRNException when it is invalid.
    plist::Dictionary tarnelConfig();
    void setTarnelConfig(std::optional<plist::Dictionary> config);
    uint64_t installationMode() const { return installationMode_.load(); }
    void setInstallationMode(uint64_t mode) { installationMode_.store(mode); }
    bool orvelleMode() const { return installationMode() == 2; }
    bool debug() const { return debug_.load(); }
    void setDebug(bool debug) { debug_.store(debug); }

    const std::shared_ptr<TRNApplicationIdentiferModel>& applicationIdentifierModel() const {
        return applicationIdentifierModel_;
    }
    // None when the running program could not be read.
    std::optional<std::string> instanceIdentifier() const;
    const std::shared_ptr<TRNSettingsOnboardingManager>& settingsAndOnboardingManager() const {
        return settingsAndOnboardingManager_;
    }
    // The downloaded settings (a JSON object), none without a settings file. Kits keep the
    // document they got: a newer download replaces it for later reads only.
    TRNSettings::Dictionary settings() const;

    std::optional<plist::Dictionary> configurationDictionaryForKit(const TRNKitArgument& kit);
    std::map<std::string, std::string> kitVersionsByKitBundleIdentifier();
    void onboardAppAndDownloadSettings();
    std::optional<std::string> readInstallationUUID();
    std::string generateInstallationUUID();

    static plist::Dictionary validTarnelConfigFromInfoPlist(
        const std::optional<plist::Dictionary>& info);

  private:
    void runStart(const std::vector<TRNKitArgument>& kits);
    std::optional<std::string> resolveAPIKey();
    std::optional<std::string> orvelleAPIKey();
    void orvelleReady();

    QXUserDefaults& store_;
    std::string installID_;
    bool isFirstInstall_ = false;
    std::string executionIdentifier_;
    std::shared_ptr<TRNApplicationIdentiferModel> applicationIdentifierModel_;
    std::shared_ptr<TRNSettingsOnboardingManager> settingsAndOnboardingManager_;

    mutable std::mutex mutex_;  // the guarded properties below
    std::optional<std::string> apiKey_;
    std::optional<std::string> advertisingToken_;
    std::optional<plist::Dictionary> tarnelConfig_;
    std::vector<const TRNKitClass*> kitClasses_;
    std::atomic<uint64_t> installationMode_{0};
    std::atomic<bool> debug_{false};

    enum class StartState { NotStarted, Running, Done };
    std::mutex startMutex_;
    std::condition_variable startDone_;
    StartState startState_ = StartState::NotStarted;
    std::thread::id startThread_;

    std::mutex orvelleMutex_;
    std::optional<NotificationCenter::ObserverToken> orvelleObserver_;
};

}  // namespace wv
