#include "sdk/core/TRNSettingsOnboardingManager.h"

#include <cstdlib>

#include "platform/foundation/Folders.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/plist/BundleInfo.h"
#include "sdk/core/TRNApplication.h"
#include "sdk/core/TRNApplicationIdentiferModel.h"
#include "sdk/core/TRNCertificatePinner.h"
#include "sdk/core/TRNDownloadAndSaveSettingsOperation.h"
#include "sdk/core/TRNNetworkClient.h"
#include "sdk/core/TRNOnboardingOperation.h"
#include "sdk/core/Tarnel.h"

#ifndef WOVANU_SETTINGS_ENDPOINT
#define WOVANU_SETTINGS_ENDPOINT ""
#endif
#ifndef WOVANU_CONFIGURE_ENDPOINT
#define WOVANU_CONFIGURE_ENDPOINT ""
#endif

namespace wv {

namespace {

std::mutex gDefaultsMutex;
std::optional<std::map<std::string, std::string>> gDefaultsOverride;

bool namesNestedFolder(const std::string& identifier) {
    if (identifier.empty()) return false;
    size_t start = 0;
    while (true) {
        const size_t slash = identifier.find('/', start);
        const std::string part = identifier.substr(start, slash - start);
        if (part.empty() || part == "." || part == "..") return false;
        if (slash == std::string::npos) return true;
        start = slash + 1;
    }
}

}  // namespace

std::shared_ptr<TRNSettingsOnboardingManager>
TRNSettingsOnboardingManager::initWithApplicationIdentifierModel(
    std::shared_ptr<TRNApplicationIdentiferModel> model, Tarnel* owner) {
    return std::make_shared<TRNSettingsOnboardingManager>(std::move(model), owner);
}

TRNSettingsOnboardingManager::TRNSettingsOnboardingManager(
    std::shared_ptr<TRNApplicationIdentiferModel> model, Tarnel* owner)
    : appIdentifierModel_(std::move(model)),
      networkClient_(TRNNetworkClient::createWithQueue(nullptr, TRNPinnedCertificates())),
      owner_(owner) {}

TRNSettingsOnboardingManager::~TRNSettingsOnboardingManager() {
    if (networkClient_) networkClient_->invalidateAndCancel();
}

void TRNSettingsOnboardingManager::detachFromOwner() {
    std::lock_guard lock(ownerMutex_);
    owner_ = nullptr;
}

bool TRNSettingsOnboardingManager::debug() const {
    std::lock_guard lock(ownerMutex_);
    return owner_ && owner_->debug();
}

void TRNSettingsOnboardingManager::debugLog(const std::string& line) const {
    if (debug()) Log::system(line);
}

std::optional<std::string> TRNSettingsOnboardingManager::advertisingToken() const {
    std::lock_guard lock(ownerMutex_);
    return owner_ ? owner_->advertisingToken() : std::nullopt;
}

std::optional<plist::Dictionary> TRNSettingsOnboardingManager::configuration() {
    const plist::Value* quellix = BundleInfo::main()->objectForInfoDictionaryKey("Quellix");
    if (!quellix || !quellix->is<plist::Dictionary>()) return std::nullopt;
    return *quellix->get<plist::Dictionary>();
}

std::map<std::string, std::string> TRNSettingsOnboardingManager::defaultConfiguration() {
    {
        std::lock_guard lock(gDefaultsMutex);
        if (gDefaultsOverride) return *gDefaultsOverride;
    }
    return {{kSettingsEndpointKey, WOVANU_SETTINGS_ENDPOINT},
            {kConfigureEndpointKey, WOVANU_CONFIGURE_ENDPOINT}};
}

void TRNSettingsOnboardingManager::setDefaultConfigurationForTesting(
    std::optional<std::map<std::string, std::string>> configuration) {
    std::lock_guard lock(gDefaultsMutex);
    gDefaultsOverride = std::move(configuration);
}

std::optional<std::string> TRNSettingsOnboardingManager::valueForConfigurationKey(
    const std::string& key) const {
    if (const char* value = std::getenv(key.c_str())) return std::string(value);
    if (auto config = configuration()) {
        const plist::Value* value = config->find(key);
        if (value && value->is<std::string>()) return *value->get<std::string>();
    }
    const auto defaults = defaultConfiguration();
    if (auto it = defaults.find(key); it != defaults.end()) return it->second;
    return std::nullopt;
}

std::optional<std::filesystem::path> TRNSettingsOnboardingManager::settingsDirectoryPath() {
    const auto identifier = BundleInfo::main()->identifier();
    if (!identifier || !namesNestedFolder(*identifier)) return std::nullopt;
    return Folders::cacheHome() / (std::string(Tarnel::kKitIdentifier) + ".data") / *identifier;
}

std::optional<std::filesystem::path> TRNSettingsOnboardingManager::settingsPath() {
    auto directory = settingsDirectoryPath();
    if (!directory) return std::nullopt;
    return *directory / "settings.json";
}

const std::shared_ptr<TRNSettings>& TRNSettingsOnboardingManager::settingsModel() {
    std::call_once(settingsOnce_, [this] {
        settingsDirectory_ = settingsDirectoryPath();
        if (!settingsDirectory_) {
            Log::system("[Tarnel] The bundle identifier \"" +
                        BundleInfo::main()->identifier().value_or("") +
                        "\" cannot name a settings folder: no settings are read or downloaded");
        }
        settingsModel_ = std::make_shared<TRNSettings>(
            settingsDirectory_ ? *settingsDirectory_ / "settings.json" : std::filesystem::path());
    });
    return settingsModel_;
}

std::optional<std::string> TRNSettingsOnboardingManager::settingsURL() const {
    return TRNSettings::settingsURLForEndpoint(
        valueForConfigurationKey(kSettingsEndpointKey).value_or(""),
        appIdentifierModel_ ? appIdentifierModel_->instanceIdentifier() : std::string());
}

std::shared_ptr<TRNOnboardingOperation> TRNSettingsOnboardingManager::onboardingOperation() const {
    std::lock_guard lock(operationMutex_);
    return onboardingOperation_;
}

void TRNSettingsOnboardingManager::setOnboardingOperation(
    std::shared_ptr<TRNOnboardingOperation> operation) {
    std::lock_guard lock(operationMutex_);
    onboardingOperation_ = std::move(operation);
}

void TRNSettingsOnboardingManager::beginSettingsAndOnboardingOperations(
    const std::string& APIKey, const std::map<std::string, std::string>& kitVersions) {
    APIKey_ = APIKey;
    kitVersionsByKitBundleIdentifier_ = kitVersions;
    settingsModel();
    if (valueForConfigurationKey(kSettingsEndpointKey).value_or("").empty()) {
        debugLog("[Tarnel] No settings endpoint is configured: nothing is downloaded or sent");
        finishNetworkingSession();
    } else if (!settingsDirectory_ || !networkClient_) {
        finishNetworkingSession();
    } else {
        beginSettingsDownload();
    }
    signalIfFinished();
}

void TRNSettingsOnboardingManager::beginSettingsDownload() {
    bool orvelle = false;
    std::string installID;
    {
        std::lock_guard lock(ownerMutex_);
        if (owner_) {
            orvelle = owner_->orvelleMode();
            installID = owner_->installID();
        }
    }
    if (appIdentifierModel_) installID = appIdentifierModel_->installID();
    auto operation = TRNDownloadAndSaveSettingsOperation::initWithAPIKey(
        APIKey_, weak_from_this(), settingsURL().value_or(""),
        settingsDirectory_.value_or(std::filesystem::path()), settingsModel()->settingsPath(),
        installID, advertisingToken(), networkClient_,
        TRNShouldCollectDeviceIdentifiersInMode(orvelle), debug());
    operation->start();
}

void TRNSettingsOnboardingManager::beginOnboarding(bool create, const std::string& endpointString) {
    if (auto previous = onboardingOperation()) previous->cancel();
    auto operation = TRNOnboardingOperation::initWithDelegate(
        weak_from_this(), create, APIKey_, kitVersionsByKitBundleIdentifier_, appIdentifierModel_,
        endpointString, networkClient_);
    setOnboardingOperation(operation);
    operation->start();
}

void TRNSettingsOnboardingManager::finishNetworkingSession() {
    if (networkClient_) networkClient_->invalidateAndCancel();
    std::lock_guard lock(finishMutex_);
    ending_ = true;
}

void TRNSettingsOnboardingManager::signalIfFinished() {
    std::lock_guard lock(finishMutex_);
    if (!ending_) return;
    finished_ = true;
    finishChanged_.notify_all();
}

bool TRNSettingsOnboardingManager::waitForNetworkingSessionToFinish(double seconds) {
    std::unique_lock lock(finishMutex_);
    return finishChanged_.wait_for(lock, std::chrono::duration<double>(seconds),
                                   [this] { return finished_; });
}

void TRNSettingsOnboardingManager::postSettingsDownloadCompletedNotification() {
    debugLog("[Tarnel] Settings are available for consumption");
    NotificationCenter::defaultCenter().post(Tarnel::kSettingsAvailableNotification);
}

void TRNSettingsOnboardingManager::operationDidDownloadAndSaveSettingsWithError(
    TRNDownloadAndSaveSettingsOperation&, const std::optional<net::Error>& error) {
    if (error) {
        Log::system("[Tarnel] failed to download settings " + error->description());
        finishNetworkingSession();
    } else {
        debugLog("[Tarnel] settings downloaded successfully");
        settingsModel()->clearSettingsDictionary();
        if (hasAttemptedAppConfigure_) {
            debugLog("[Tarnel] App already onboarded in this run of the app");
            postSettingsDownloadCompletedNotification();
            finishNetworkingSession();
        } else if (settingsModel()->appNeedsOnboarding()) {
            debugLog("[Tarnel] Starting onboarding with app create");
            hasAttemptedAppConfigure_ = true;
            beginOnboarding(true, valueForConfigurationKey(kConfigureEndpointKey).value_or(""));
        } else {
            postSettingsDownloadCompletedNotification();
            if (!settingsModel()->appUpdateRequired()) {
                finishNetworkingSession();
            } else {
                debugLog("[Tarnel] Starting onboarding with app update");
                hasAttemptedAppConfigure_ = true;
                beginOnboarding(false,
                                valueForConfigurationKey(kConfigureEndpointKey).value_or(""));
            }
        }
    }
    signalIfFinished();
}

void TRNSettingsOnboardingManager::onboardingOperationDidCompleteAppCreationWithError(
    TRNOnboardingOperation&, const std::optional<net::Error>& error) {
    if (error) {
        Log::system("[Tarnel] unable to complete application configure: " + error->description());
        finishNetworkingSession();
    } else {
        setOnboardingOperation(nullptr);
        debugLog("[Tarnel] completed configure");
        beginSettingsDownload();
    }
    signalIfFinished();
}

void TRNSettingsOnboardingManager::onboardingOperationDidCompleteAppUpdateWithError(
    TRNOnboardingOperation&, const std::optional<net::Error>& error) {
    finishNetworkingSession();
    if (error) {
        Log::system("[Tarnel] unable to complete application update: " + error->description());
    } else {
        setOnboardingOperation(nullptr);
        debugLog("[Tarnel] completed application update");
    }
    signalIfFinished();
}

}  // namespace wv
