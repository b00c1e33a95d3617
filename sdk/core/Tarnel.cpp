#include "sdk/core/Tarnel.h"

#include <algorithm>
#include <cctype>

#include "platform/dispatch/OnceToken.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/plist/BundleInfo.h"
#include "sdk/core/QXUserDefaults.h"
#include "sdk/core/TRNApplicationIdentiferModel.h"
#include "sdk/core/TRNException.h"
#include "sdk/core/TRNHashing.h"
#include "sdk/core/TRNSettingsOnboardingManager.h"

namespace wv {

namespace {

constexpr const char* kEntryClassName = "Tarnel";

const TRNKitClass* classOf(const TRNKitArgument& argument) {
    if (auto* cls = std::get_if<const TRNKitClass*>(&argument)) return *cls;
    return std::get<TRNKitInstance>(argument).kitClass;
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

std::string describe(const std::map<std::string, std::string>& map) {
    std::string out = "{\n";
    for (const auto& [key, value] : map)
        out += "    " + quoted(key) + " = " + quoted(value) + ";\n";
    return out + "}";
}

// A string or a number whose truth is false; none for absence or any other kind.
std::optional<bool> switchValue(const plist::Value* value) {
    if (!value) return std::nullopt;
    if (auto* s = value->get<std::string>()) return text::boolValue(*s);
    if (auto* b = value->get<bool>()) return *b;
    if (auto* i = value->get<int64_t>()) return *i != 0;
    if (auto* d = value->get<double>()) return *d != 0.0;
    return std::nullopt;
}

bool legacyInstanceIsComplete(const TRNKitClass& kit) {
    auto instance = kit.sharedInstance();
    return instance && instance->start && instance->bundleIdentifier && instance->version;
}

}  // namespace

Tarnel& Tarnel::sharedSDK() {
    static Tarnel shared(QXUserDefaults::standardUserDefaults(), {});
    return shared;
}

Tarnel& Tarnel::with(const std::vector<TRNKitArgument>& kits) { return sharedSDK().start(kits); }

void Tarnel::load() {
    static OnceToken once;
    once.call([] {
        static std::atomic<NotificationCenter::ObserverToken> token{0};
        token = NotificationCenter::defaultCenter().addObserver(
            kOrvelleReadyNotification, nullptr, [](const Notification&) {
                const auto mine = token.exchange(0);
                if (mine == 0) return;
                NotificationCenter::defaultCenter().removeObserver(mine);
                sharedSDK().orvelleReady();
            });
    });
}

Tarnel::Tarnel(QXUserDefaults& store, const std::filesystem::path& executable) : store_(store) {
    if (auto stored = readInstallationUUID()) {
        installID_ = *stored;
    } else {
        isFirstInstall_ = true;
        installID_ = generateInstallationUUID();
    }
    std::string execution = TRNGenerateUUIDString();
    execution.erase(std::remove(execution.begin(), execution.end(), '-'), execution.end());
    std::transform(execution.begin(), execution.end(), execution.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    executionIdentifier_ = execution;
    applicationIdentifierModel_ =
        executable.empty()
            ? TRNApplicationIdentiferModel::initWithInstallID(installID_)
            : TRNApplicationIdentiferModel::initWithInstallID(installID_, executable);
    settingsAndOnboardingManager_ =
        TRNSettingsOnboardingManager::initWithApplicationIdentifierModel(
            applicationIdentifierModel_, this);
}

Tarnel::~Tarnel() {
    // The conversation may still be running on the network thread: it must not reach back.
    settingsAndOnboardingManager_->detachFromOwner();
    settingsAndOnboardingManager_->finishNetworkingSession();
    std::lock_guard lock(orvelleMutex_);
    if (orvelleObserver_) NotificationCenter::defaultCenter().removeObserver(*orvelleObserver_);
}

std::optional<std::string> Tarnel::readInstallationUUID() {
    auto value = store_.objectForKeyByMigratingFromNSUserDefaults(kInstallIDKey);
    if (value && value->is<std::string>() && !value->get<std::string>()->empty()) {
        return *value->get<std::string>();
    }
    return std::nullopt;
}

std::string Tarnel::generateInstallationUUID() {
    std::string uuid = TRNGenerateUUIDString();
    store_.setString(uuid, kInstallIDKey);
    store_.synchronize();
    return uuid;
}

std::optional<std::string> Tarnel::instanceIdentifier() const {
    if (!applicationIdentifierModel_) return std::nullopt;
    return applicationIdentifierModel_->instanceIdentifier();
}

Tarnel& Tarnel::start(const std::vector<TRNKitArgument>& kits) {
    {
        std::unique_lock lock(startMutex_);
        if (startState_ != StartState::NotStarted) {
            if (startState_ == StartState::Running && startThread_ != std::this_thread::get_id()) {
                startDone_.wait(lock, [&] { return startState_ == StartState::Done; });
            }
            lock.unlock();
            Log::system(
                "[Tarnel] [Tarnel +with] called multiple times. Only the first call is honored, "
                "please pass all kits you wish to initialize");
            return *this;
        }
        startState_ = StartState::Running;
        startThread_ = std::this_thread::get_id();
    }
    struct Finish {
        Tarnel* self;
        ~Finish() {
            std::lock_guard lock(self->startMutex_);
            self->startState_ = StartState::Done;
            self->startDone_.notify_all();
        }
    } finish{this};
    runStart(kits);
    return *this;
}

void Tarnel::runStart(const std::vector<TRNKitArgument>& kits) {
    if (!APIKey()) return;

    std::vector<const TRNKitClass*> classes;
    for (const auto& argument : kits) {
        const TRNKitClass* kit = classOf(argument);
        const std::string name = kit ? kit->name : "(null)";
        if (kit && kit->declaresTRNKit) {
            classes.push_back(kit);
            continue;
        }
        if (kit && kit->sharedInstance) {
            Log::system(std::string("[") + kEntryClassName +
                        "] Please upgrade to the latest version of " + quoted(name));
            if (legacyInstanceIsComplete(*kit)) {
                classes.push_back(kit);
                continue;
            }
        }
        throw TRNException(std::string("[") + kEntryClassName + "] It appears that " +
                           quoted(name) +
                           " is not a valid Tarnel Kit. Please make sure you only pass Tarnel "
                           "Kits to [Tarnel with:].");
    }

    auto contains = [&](std::string_view name) {
        return std::any_of(classes.begin(), classes.end(),
                           [&](const TRNKitClass* k) { return k->name == name; });
    };
    const TRNKitClass* plurio = TRNKitClassNamed("Plurio");
    if (TRNClassIsLinked("Quellix") && plurio && contains("Quellix") && plurio->declaresTRNKit &&
        !contains("Plurio")) {
        classes.push_back(plurio);
    }
    if (TRNClassIsLinked("Appsee")) {
        auto appsee = std::find_if(classes.begin(), classes.end(),
                                   [](const TRNKitClass* k) { return k->name == "Appsee"; });
        if (appsee != classes.end()) std::rotate(classes.begin(), appsee, appsee + 1);
    }
    if (TRNClassIsLinked("HADReachAds")) classes.push_back(&AdReachKit());

    setKitClasses(classes);
    for (const TRNKitClass* kit : classes) {
        if (kit->declaresTRNKit) {
            if (kit->initializeIfNeeded) kit->initializeIfNeeded();
        } else if (auto instance = kit->sharedInstance()) {
            instance->start();
        }
    }
    onboardAppAndDownloadSettings();
}

void Tarnel::onboardAppAndDownloadSettings() {
    const auto versions = kitVersionsByKitBundleIdentifier();
    settingsAndOnboardingManager_->beginSettingsAndOnboardingOperations(APIKey().value_or(""),
                                                                        versions);
}

TRNSettings::Dictionary Tarnel::settings() const {
    return settingsAndOnboardingManager_->settingsModel()->settingsDictionary();
}

std::map<std::string, std::string> Tarnel::kitVersionsByKitBundleIdentifier() {
    std::map<std::string, std::string> versions;
    for (const TRNKitClass* kit : kitClasses()) {
        if (kit->declaresTRNKit) {
            if (kit->bundleIdentifier && kit->kitDisplayVersion) {
                versions[kit->bundleIdentifier()] = kit->kitDisplayVersion();
            }
        } else if (auto instance = kit->sharedInstance ? kit->sharedInstance() : nullptr) {
            if (instance->bundleIdentifier && instance->version) {
                versions[instance->bundleIdentifier()] = instance->version();
            }
        }
    }
    versions[kKitIdentifier] = kDisplayVersion;
    if (debug()) Log::system("[Tarnel] Initialized with kit versions: " + describe(versions));
    return versions;
}

std::optional<std::string> Tarnel::APIKey() {
    {
        std::lock_guard lock(mutex_);
        if (apiKey_) return apiKey_;
    }
    auto key = orvelleMode() ? orvelleAPIKey() : resolveAPIKey();
    if (key) {
        std::lock_guard lock(mutex_);
        apiKey_ = key;
    }
    return key;
}

void Tarnel::setAPIKey(std::optional<std::string> key) {
    std::lock_guard lock(mutex_);
    apiKey_ = std::move(key);
}

std::optional<std::string> Tarnel::resolveAPIKey() {
    const plist::Dictionary config = tarnelConfig();
    if (const plist::Value* key = config.find("APIKey"); key && key->is<std::string>()) {
        return *key->get<std::string>();
    }
    Log::system(
        "[Tarnel] Tarnel API Key is nil! Tarnel won't work unless there is a valid API Key setup "
        "in Info.plist");
    return std::nullopt;
}

std::optional<std::string> Tarnel::orvelleAPIKey() {
    auto path = Bundle::main().pathForResource("HalvardService-Info", "plist");
    if (!path) {
        Log::system("[Tarnel] HalvardService-Info.plist path unavailable");
        return std::nullopt;
    }
    auto file = plist::readFile(*path);
    const plist::Dictionary* service = file ? file->get<plist::Dictionary>() : nullptr;
    const plist::Value* id = service ? service->find("HALVARD_APP_ID") : nullptr;
    const std::string* appID = id ? id->get<std::string>() : nullptr;
    if (!appID || appID->empty()) {
        Log::system("[Tarnel] HalvardService-Info.plist key HALVARD_APP_ID unavailable");
        return std::nullopt;
    }
    return TRNSHA256HexDigest(appID->data(), appID->size()).substr(0, 40);
}

std::optional<std::string> Tarnel::advertisingToken() const {
    std::lock_guard lock(mutex_);
    return advertisingToken_;
}

void Tarnel::setAdvertisingToken(std::optional<std::string> token) {
    std::lock_guard lock(mutex_);
    advertisingToken_ = std::move(token);
}

std::vector<const TRNKitClass*> Tarnel::kitClasses() const {
    std::lock_guard lock(mutex_);
    return kitClasses_;
}

void Tarnel::setKitClasses(std::vector<const TRNKitClass*> kits) {
    std::lock_guard lock(mutex_);
    kitClasses_ = std::move(kits);
}

plist::Dictionary Tarnel::tarnelConfig() {
    {
        std::lock_guard lock(mutex_);
        if (tarnelConfig_) return *tarnelConfig_;
    }
    plist::Dictionary config;
    if (!orvelleMode()) {
        config = validTarnelConfigFromInfoPlist(BundleInfo::main()->infoDictionary());
        setInstallationMode(1);
    }
    std::lock_guard lock(mutex_);
    tarnelConfig_ = config;
    return config;
}

void Tarnel::setTarnelConfig(std::optional<plist::Dictionary> config) {
    std::lock_guard lock(mutex_);
    tarnelConfig_ = std::move(config);
}

plist::Dictionary Tarnel::validTarnelConfigFromInfoPlist(
    const std::optional<plist::Dictionary>& info) {
    const std::string prefix = std::string("[") + kEntryClassName + "] ";
    if (!info) throw TRNException(prefix + "Cannot find Info.plist.");
    const plist::Value* tarnel = info->find("Tarnel");
    if (!tarnel || !tarnel->is<plist::Dictionary>()) {
        throw TRNException(prefix + "Value of Info.plist key \"Tarnel\" must be a NSDictionary.");
    }
    const auto& config = *tarnel->get<plist::Dictionary>();
    if (const plist::Value* kits = config.find("Kits"); !kits || !kits->is<plist::Array>()) {
        Log::system("[Tarnel] " + prefix +
                    "Value of Info.plist[Tarnel][Kits] should be a NSArray.");
    }
    if (const plist::Value* key = config.find("APIKey"); !key || !key->is<std::string>()) {
        throw TRNException(prefix +
                           "Value of Info.plist[Tarnel][APIKey] must contain your Tarnel API Key.");
    }
    return config;
}

std::optional<plist::Dictionary> Tarnel::configurationDictionaryForKitClass(
    const TRNKitClass& kitClass) {
    return sharedSDK().configurationDictionaryForKit(&kitClass);
}

std::optional<plist::Dictionary> Tarnel::configurationDictionaryForKit(const TRNKitArgument& kit) {
    const TRNKitClass* cls = classOf(kit);
    const plist::Dictionary config = tarnelConfig();
    const plist::Value* kits = config.find("Kits");
    const plist::Array* entries = kits ? kits->get<plist::Array>() : nullptr;
    if (!cls || !entries) return std::nullopt;
    for (const auto& entry : *entries) {
        const auto* fields = entry.get<plist::Dictionary>();
        const plist::Value* name = fields ? fields->find("KitName") : nullptr;
        if (!name || !name->is<std::string>() || *name->get<std::string>() != cls->name) continue;
        const plist::Value* info = fields->find("KitInfo");
        if (info && info->is<plist::Dictionary>()) return *info->get<plist::Dictionary>();
        return plist::Dictionary();
    }
    return std::nullopt;
}

void Tarnel::observeOrvelleReadiness() {
    std::lock_guard lock(orvelleMutex_);
    if (orvelleObserver_) return;
    orvelleObserver_ = NotificationCenter::defaultCenter().addObserver(
        kOrvelleReadyNotification, nullptr, [this](const Notification&) {
            {
                std::lock_guard lock(orvelleMutex_);
                if (!orvelleObserver_) return;
                NotificationCenter::defaultCenter().removeObserver(*orvelleObserver_);
                orvelleObserver_.reset();
            }
            orvelleReady();
        });
}

void Tarnel::orvelleReady() {
    auto info = BundleInfo::main();
    if (info->objectForInfoDictionaryKey("Tarnel")) return;
    if (installationMode() == 1) return;
    setInstallationMode(2);
    constexpr const char* kSwitch = "orvelle_quellix_collection_enabled";
    if (switchValue(info->objectForInfoDictionaryKey(kSwitch)) == false) {
        if (debug()) {
            Log::system(
                std::string("[Tarnel] Quellix initialization disabled via Info.plist key ") +
                kSwitch);
        }
        return;
    }
    const TRNKitClass* quellix = TRNKitClassNamed("Quellix");
    if (!quellix) {
        Log::system(std::string("[Tarnel] [") + kEntryClassName +
                    "] Attempting to initialize Quellix via Orvelle but could not find Quellix.");
        return;
    }
    start({quellix});
}

}  // namespace wv
