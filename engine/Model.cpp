#include "engine/Model.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <mutex>

#include "engine/WordGeneratorBase.h"
#include "engine/services/NoCloud.h"
#include "engine/services/NoCloudKeyValue.h"
#include "platform/foundation/Log.h"
#include "storage/FS.h"
#include "storage/Local.h"

namespace wv {

namespace {

constexpr int kStatisticsVersion = 4;
constexpr const char* kConfigFile = "config.plist";
constexpr const char* kStatisticsFile = "statistics.db";
constexpr const char* kStatisticsCopyFile = "statisticsCopy.db";

std::mutex sharedServicesMutex;
ModelServices sharedServices;
bool sharedCreated = false;

// The model whose settings the interface-language hooks read; they go back to their defaults
// when it goes away, so no hook ever reaches a destroyed model.
const Model* localHooksOwner = nullptr;

// Moves a settings file that cannot be read out of the way, under a name that says so and
// that no earlier such file has, so that nothing of it is lost.
void keepUnreadable(const std::filesystem::path& url) {
    std::error_code ec;
    auto kept = url;
    kept += ".unreadable";
    for (int n = 2; std::filesystem::exists(kept, ec) && n < 1000; ++n) {
        kept = url;
        kept += ".unreadable-" + std::to_string(n);
    }
    std::filesystem::rename(url, kept, ec);
    if (ec)
        Log::print("can't keep the unreadable config file " + url.string() + " : " + ec.message());
    else
        Log::print("Unreadable config file kept as : " + kept.string());
}

Language languageNamed(const std::string& name) {
    for (int raw = rawValue(Language::en); raw <= rawValue(Language::pr); ++raw) {
        auto language = static_cast<Language>(raw);
        if (languageName(language) == name) return language;
    }
    return Language::en;
}

}  // namespace

Model::Model(ModelServices services, WordGeneratorFactory makeGenerator) {
    services = services.completed();
    analytics_ = services.analytics;

    langRoot_ = std::make_unique<LangRoot>(
        makeGenerator ? makeGenerator : WordGeneratorFactory(makeLangDataWordGenerator));
    cloudKeyValue_ = services.makeCloudKeyValue();
    if (!cloudKeyValue_) cloudKeyValue_ = std::make_unique<NoCloudKeyValue>();
    config_ = std::make_unique<Config>();

    const auto folder = FS::appSupportURL();
    stats_ = std::make_unique<LessonStats>(folder / kStatisticsFile, kStatisticsVersion);
    // Made once, after the store was opened and brought up to date, then never refreshed.
    std::error_code ec;
    if (!std::filesystem::exists(folder / kStatisticsCopyFile, ec)) {
        FS::copyFile(folder / kStatisticsFile, folder / kStatisticsCopyFile, true);
    }

    textLine_ = std::make_unique<WVTextLine>(*stats_);
    learningAssist_ = std::make_unique<AutoLearning>(*stats_);
    cloud_ = services.makeCloud(*stats_);
    if (!cloud_) cloud_ = std::make_unique<NoCloud>();
    stats_->cloud = cloud_.get();

    // Asked at every typo, so a change of the setting counts from the next one.
    textLine_->sound.isOn = [this] { return config_->soundOn(); };
    localUsesLearningLanguage = [this] { return config_->sameLangOfUIAndTyping(); };
    localLearningLanguage = [this] { return std::string(languageName(config_->language())); };
    localHooksOwner = this;
    langRoot_->onUpdate = [this](bool textUpdate) {
        config_->notifyChange(textUpdate ? ConfigUpdate::TextUpdate : ConfigUpdate::Normal);
    };
    config_->onLangDidSet = [this] { syncInterfaceLanguage(); };

    // Fires at once with the current event; nothing is written until the settings are loaded.
    config_->didChange.subscribe([this](const ConfigUpdate&) { saveConfig(); }).disposed(bag_);
}

Model::~Model() {
    bag_.dispose();
    langRoot_->onUpdate = nullptr;
    config_->onLangDidSet = nullptr;
    if (localHooksOwner == this) {
        localUsesLearningLanguage = [] { return false; };
        localLearningLanguage = [] { return std::string("en"); };
        localHooksOwner = nullptr;
    }
}

bool Model::setSharedServices(ModelServices services) {
    std::lock_guard lock(sharedServicesMutex);
    if (sharedCreated) return false;
    sharedServices = std::move(services);
    return true;
}

std::filesystem::path Model::configURL() { return FS::appSupportURL() / kConfigFile; }

void Model::loadConfig() {
    const auto url = configURL();
    std::optional<plist::Value> stored;
    std::error_code ec;
    if (std::filesystem::exists(url, ec)) stored = plist::readFile(url);
    const plist::Dictionary* dictionary = stored ? stored->get<plist::Dictionary>() : nullptr;

    if (!dictionary) {
        // The defaults written from here on would replace the learner's settings for good.
        if (std::filesystem::is_regular_file(url, ec)) keepUnreadable(url);
        firstLaunch_ = true;
        Log::print("Config file not found : " + url.string());
        Log::print("First lanuch of program");
        Local::switchToSystemLanguage();
        // Calls onLangDidSet and announces the text change.
        config_->setLanguage(languageNamed(Local::systemInterfaceLanguage()));
        if (analyticsEnabled) {
            analytics_->logCustomEvent("firstLaunch",
                                       {{"lang", std::string(languageName(config_->language()))}});
        }
    } else {
        applyConfig(*dictionary);
    }
    isLoaded_ = true;
    cloudKeyValue_->synchronize();
}

void Model::applyConfig(const plist::Dictionary& dictionary) {
    config_->load(dictionary);
    langRoot_->load(dictionary);
    Log::print("Loaded from config file : " + configURL().string());
}

void Model::saveConfig() {
    if (!isLoaded_ || disableSaveUglyHack) return;
    plist::Dictionary dictionary = config_->toDictionary();
    for (const auto& lang : langRoot_->languages()) {
        for (const auto& [key, value] : lang->toDictionary()) dictionary.set(key, value);
    }
    const auto url = configURL();
    if (plist::writeFile(url, dictionary)) {
        firstLaunch_ = false;
        Log::print("Saved config to file : " + url.string());
    } else {
        Log::print("can't write confit file to path : " + url.string());
    }
    cloudKeyValue_->save(dictionary);
}

void Model::syncInterfaceLanguage() {
    if (!config_->sameLangOfUIAndTyping()) return;
    Local::shared().setInterfaceLanguage(localLearningLanguage());
    Local::refreshLocalizedWindows();
}

void Model::setLanguage(const LangData& langData) { config_->setLanguage(langData.type()); }

int Model::displaySpeed(int charactersPerMinute) const {
    if (config_->speedType() != SpeedType::WPM) return charactersPerMinute;
    return wordsPerMinute(charactersPerMinute, langRoot_->getLang(config_->language()).wpmRatio());
}

Model& model() {
    static Model* const instance = [] {
        std::lock_guard lock(sharedServicesMutex);
        sharedCreated = true;
        return new Model(sharedServices);
    }();
    return *instance;
}

int displaySpeed(int charactersPerMinute) { return model().displaySpeed(charactersPerMinute); }

int wordsPerMinute(int charactersPerMinute, float wpmRatio) {
    if (!(wpmRatio > 0.0f) || !std::isfinite(wpmRatio)) return charactersPerMinute;
    const float words = std::ceil(float(charactersPerMinute) / wpmRatio);
    constexpr float kLimit = float(std::numeric_limits<int>::max());
    if (words >= kLimit) return std::numeric_limits<int>::max();
    if (words <= -kLimit) return std::numeric_limits<int>::min();
    return int(words);
}

bool isRunningTests() { return std::getenv("XCInjectBundleInto") != nullptr; }

}  // namespace wv
