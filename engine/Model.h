#pragma once

#include <filesystem>
#include <memory>

#include "engine/AutoLearning.h"
#include "engine/LessonStats.h"
#include "engine/WVTextLine.h"
#include "engine/services/ModelServices.h"
#include "languages/LangRoot.h"
#include "platform/plist/Value.h"
#include "platform/rx/DisposeBag.h"
#include "storage/Config.h"

namespace wv {

// The hub of the program: owns the settings, the statistics store, the line being typed,
// automatic difficulty, the languages and the cloud services, wires them together, loads the
// settings once and saves them after every announced change. The program uses one instance
// (`model()`); tests may build their own. Main thread only.
class Model {
  public:
    // Empty services are replaced by do-nothing ones; an empty `makeGenerator` gives every
    // language the engine's generator over the bundle's word databases.
    explicit Model(ModelServices services = {}, WordGeneratorFactory makeGenerator = {});
    virtual ~Model();
    Model(const Model&) = delete;
    Model& operator=(const Model&) = delete;

    // The services the instance of `model()` is built with. Takes effect only before that
    // instance exists (the application calls it first thing); false afterwards.
    static bool setSharedServices(ModelServices services);

    Config& config() { return *config_; }
    LessonStats& stats() { return *stats_; }
    WVTextLine& textLine() { return *textLine_; }
    AutoLearning& learningAssist() { return *learningAssist_; }
    LangRoot& langRoot() { return *langRoot_; }
    WVCloudProtocol& cloud() { return *cloud_; }
    WVCloudKeyValueProtocol& cloudKeyValue() { return *cloudKeyValue_; }

    // Reads "config.plist" once at start-up; a missing or unreadable file is a first launch.
    virtual void loadConfig();
    // Writes the settings of the program and of every language; nothing before loadConfig.
    virtual void saveConfig();
    // Makes the interface language follow the learning one, when the learner asked for that.
    virtual void syncInterfaceLanguage();
    // Settings from "config.plist" or from the cloud key-value store.
    void applyConfig(const plist::Dictionary& dictionary);
    void setLanguage(const LangData& langData);

    // A speed in characters per minute in the learner's unit.
    int displaySpeed(int charactersPerMinute) const;

    bool isLoaded() const { return isLoaded_; }
    // No settings file was found at start-up and nothing has been saved since.
    bool firstLaunch() const { return firstLaunch_; }
    // While true, nothing is saved.
    bool disableSaveUglyHack = false;

    static std::filesystem::path configURL();

  private:
    std::unique_ptr<LangRoot> langRoot_;
    std::unique_ptr<WVCloudKeyValueProtocol> cloudKeyValue_;
    std::unique_ptr<Config> config_;
    std::unique_ptr<LessonStats> stats_;
    std::unique_ptr<WVTextLine> textLine_;
    std::unique_ptr<AutoLearning> learningAssist_;
    std::unique_ptr<WVCloudProtocol> cloud_;
    std::shared_ptr<AnalyticsEvents> analytics_;
    bool isLoaded_ = false;
    bool firstLaunch_ = false;
    // Last, so the subscriptions end before anything they reach goes away.
    rx::DisposeBag bag_;
};

// The program's hub, made on first use.
Model& model();
// `Model::displaySpeed` of the program's hub.
int displaySpeed(int charactersPerMinute);
// A speed in characters per minute as words per minute: the ceiling of the quotient, worked
// out in single precision. A ratio that is not a positive number leaves the speed as it is.
int wordsPerMinute(int charactersPerMinute, float wpmRatio);
// Whether the process runs under the test harness ("XCInjectBundleInto" in the environment,
// whatever its value); read afresh at every call.
bool isRunningTests();

}  // namespace wv
