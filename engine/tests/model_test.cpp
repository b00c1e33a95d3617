#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <iterator>

#include "ModelFixture.h"
#include "TestLanguage.h"
#include "platform/foundation/Log.h"
#include "storage/Local.h"

namespace wv {
namespace {

using testing::ModelFixture;
using testing::ScriptedGenerator;

WordGeneratorFactory scripted() {
    return [](LangData&) { return std::make_unique<ScriptedGenerator>(); };
}

// Sets one environment variable for the life of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = getenv(name)) previous_ = old;
        if (value) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (previous_) {
            setenv(name_, previous_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::optional<std::string> previous_;
};

// Remembers which interface languages were chosen.
class RecordingLocal : public Local {
  public:
    RecordingLocal() : Local(std::optional<std::filesystem::path>{}) {}
    void setInterfaceLanguage(std::string_view language) override {
        chosen.emplace_back(language);
        Local::setInterfaceLanguage(language);
    }
    std::vector<std::string> chosen;
};

class ScopedLocal {
  public:
    ScopedLocal() { previous_ = Local::replaceShared(&local); }
    ~ScopedLocal() { Local::replaceShared(previous_); }
    RecordingLocal local;

  private:
    Local* previous_ = nullptr;
};

std::optional<plist::Dictionary> readConfig(const std::filesystem::path& file) {
    auto value = plist::readFile(file);
    if (!value || !value->get<plist::Dictionary>()) return std::nullopt;
    return *value->get<plist::Dictionary>();
}

int64_t intEntry(const plist::Dictionary& d, std::string_view key) {
    const plist::Value* value = d.find(key);
    return value && value->get<int64_t>() ? *value->get<int64_t>() : -1;
}

std::optional<bool> boolEntry(const plist::Dictionary& d, std::string_view key) {
    const plist::Value* value = d.find(key);
    if (!value || !value->get<bool>()) return std::nullopt;
    return *value->get<bool>();
}

using ModelTest = ModelFixture;

TEST_F(ModelTest, FirstLaunchFollowsTheSystemLanguageAndWritesNothing) {
    struct Case {
        const char* locale;
        Language language;
        const char* name;
    };
    const Case cases[] = {{"ru_RU.UTF-8", Language::ru, "ru"},
                          {"uk_UA.UTF-8", Language::ua, "ua"},
                          {"de_CH", Language::de, "de"},
                          {"fr_FR.UTF-8", Language::en, "en"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locale);
        ScopedEnv locale("LC_ALL", c.locale);
        ScopedLocal local;
        analytics->events.clear();
        std::filesystem::remove(configFile());
        auto model = makeModel(scripted());
        LogCapture log;
        model->loadConfig();

        EXPECT_TRUE(model->firstLaunch());
        EXPECT_TRUE(model->isLoaded());
        EXPECT_TRUE(log.contains("Config file not found : " + configFile().string()));
        EXPECT_EQ(log.count("First lanuch of program"), 1u);
        EXPECT_EQ(model->config().language(), c.language);
        EXPECT_EQ(local.local.chosen, std::vector<std::string>{c.name});
        using Event = RecordingAnalyticsEvents::Event;
        const Event expected{RecordingAnalyticsEvents::Kind::Custom, "firstLaunch", std::nullopt,
                             std::nullopt, EventAttributes{{"lang", c.name}}};
        EXPECT_EQ(analytics->events, std::vector<Event>{expected});
        EXPECT_FALSE(std::filesystem::exists(configFile()));
        EXPECT_TRUE(keyValue->saves.empty());
        EXPECT_EQ(keyValue->synchronizeCount, 1);
    }
}

TEST_F(ModelTest, NothingIsSavedBeforeTheSettingsAreLoaded) {
    auto model = makeModel(scripted());
    model->config().setSoundOn(false);
    model->langRoot().getLang(Language::de).setDifficulty(3);
    model->saveConfig();
    EXPECT_FALSE(std::filesystem::exists(configFile()));
    EXPECT_TRUE(keyValue->saves.empty());
}

TEST_F(ModelTest, AChangeAfterLoadingWritesTheFileAndTheCloudCopy) {
    auto model = makeModel(scripted());
    model->loadConfig();
    ASSERT_TRUE(model->firstLaunch());
    LogCapture log;
    model->config().setSpeedType(SpeedType::WPM);

    EXPECT_FALSE(model->firstLaunch());
    EXPECT_TRUE(log.contains("Saved config to file : " + configFile().string()));
    auto saved = readConfig(configFile());
    ASSERT_TRUE(saved);
    EXPECT_EQ(intEntry(*saved, "speedType"), 1);
    ASSERT_FALSE(keyValue->saves.empty());
    EXPECT_EQ(keyValue->saves.back(), *saved);
    // The application's seven entries, then six per language in the languages' order.
    ASSERT_EQ(saved->size(), 7u + 6u * 10u);
    auto entry = saved->begin();
    EXPECT_EQ(entry->first, "language");
    std::advance(entry, 7);
    EXPECT_EQ(entry->first, "layoutEng");
    std::advance(entry, 6);
    EXPECT_EQ(entry->first, "layoutDe");
}

TEST_F(ModelTest, SettingsAndRecordsComeBackInAFreshInstance) {
    {
        auto model = makeModel(scripted());
        model->loadConfig();
        model->config().setSoundOn(false);
        model->config().setHandsOn(false);
        model->config().setPressEnterCounter(7);
        LangData& de = model->langRoot().getLang(Language::de);
        model->setLanguage(de);
        de.setDifficulty(4);
        de.setCapitalsOn(true);
        de.selectLayout(1);
        model->langRoot().getLang(Language::gr).setDifficultyAuto(false);
        auto row = LessonsStatsDBTable::rowDictionary(12.5, 240, "ab", 98, de);
        ASSERT_TRUE(model->stats().addLesson(row, true));
        EXPECT_EQ(cloud->queued.size(), 1u);
        model->saveConfig();
    }
    auto model = makeModel(scripted());
    LogCapture log;
    model->loadConfig();
    EXPECT_FALSE(model->firstLaunch());
    EXPECT_TRUE(log.contains("Loaded from config file : " + configFile().string()));
    EXPECT_EQ(model->config().language(), Language::de);
    EXPECT_FALSE(model->config().soundOn());
    EXPECT_FALSE(model->config().handsOn());
    EXPECT_EQ(model->config().pressEnterCounter(), 7);
    const LangData& de = model->langRoot().getLang(Language::de);
    EXPECT_EQ(de.difficulty(), 4);
    EXPECT_TRUE(de.capitalsOn());
    EXPECT_EQ(de.keys().currentLayoutIndex(), 1);
    EXPECT_FALSE(model->langRoot().getLang(Language::gr).difficultyAuto());
    EXPECT_TRUE(model->langRoot().getLang(Language::en).difficultyAuto());
    ASSERT_EQ(model->stats().lessonsList().size(), 1u);
    EXPECT_EQ(model->stats().lessonsList()[0]->speedCPM, 240);
    EXPECT_EQ(model->stats().lessonsList()[0]->mistypes, "ab");
}

TEST_F(ModelTest, ACorruptSettingsFileIsAFirstLaunchKeptAsideAndTheNextSaveReplacesIt) {
    std::filesystem::create_directories(supportFolder());
    const std::vector<std::string> contents = {
        "not a property list", "<?xml version=\"1.0\"?><plist><dict>",
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>"};
    const std::vector<std::string> keptNames = {
        "config.plist.unreadable", "config.plist.unreadable-2", "config.plist.unreadable-3"};
    for (size_t i = 0; i < contents.size(); ++i) {
        const std::string& content = contents[i];
        SCOPED_TRACE(content);
        std::ofstream(configFile()) << content;
        auto model = makeModel(scripted());
        LogCapture log;
        model->loadConfig();
        // Kept beside, byte for byte, under a name of its own, before anything replaces it.
        const auto kept = supportFolder() / keptNames[i];
        std::ifstream in(kept, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), content);
        EXPECT_TRUE(log.contains("Unreadable config file kept as : " + kept.string()));
        EXPECT_TRUE(model->firstLaunch());
        EXPECT_EQ(model->config().language(), Language::en);

        model->config().setKeyHintsOn(false);
        auto saved = readConfig(configFile());
        ASSERT_TRUE(saved);
        EXPECT_EQ(boolEntry(*saved, "keyHintsOn"), false);
        EXPECT_FALSE(model->firstLaunch());
    }
    // Only the settings and the two databases: no temporary file left behind.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(supportFolder())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> expected = {"config.plist"};
    expected.insert(expected.end(), keptNames.begin(), keptNames.end());
    expected.insert(expected.end(), {"statistics.db", "statisticsCopy.db"});
    EXPECT_EQ(names, expected);
}

TEST_F(ModelTest, AFailedWriteIsReportedAndStillReachesTheCloudCopy) {
    std::filesystem::create_directories(configFile() / "blocked");
    auto model = makeModel(scripted());
    model->loadConfig();
    LogCapture log;
    model->config().setSoundOn(false);
    EXPECT_TRUE(log.contains("can't write confit file to path : " + configFile().string()));
    EXPECT_TRUE(model->firstLaunch());
    ASSERT_EQ(keyValue->saves.size(), 1u);
    EXPECT_EQ(boolEntry(keyValue->saves[0], "soundOn"), false);
}

TEST_F(ModelTest, ARaiseByAutomaticDifficultyIsSaved) {
    auto model = makeModel(scripted());
    model->loadConfig();
    LangData& en = model->langRoot().getLang(Language::en);
    ASSERT_TRUE(en.difficultyAuto());
    ASSERT_EQ(en.difficulty(), 0);
    ASSERT_TRUE(
        model->stats().addLesson(LessonsStatsDBTable::rowDictionary(9, 300, "", 100, en), true));
    model->learningAssist().processLastLesson(en);
    auto saved = readConfig(configFile());
    ASSERT_TRUE(saved);
    EXPECT_EQ(intEntry(*saved, "difficultyEng"), 1);
    EXPECT_EQ(keyValue->values["config"], *saved);
}

TEST_F(ModelTest, EveryPerLanguageChangeIsSavedAsItHappens) {
    struct Case {
        const char* key;
        std::function<void(LangData&)> change;
        plist::Value stored;
    };
    const Case cases[] = {
        {"layoutRus", [](LangData& l) { l.selectLayout(1); }, int64_t(1)},
        {"difficultyRus", [](LangData& l) { l.setDifficulty(5); }, int64_t(5)},
        {"difficultyRusAuto", [](LangData& l) { l.setDifficultyAuto(false); }, false},
        {"capitalsOnRus", [](LangData& l) { l.setCapitalsOn(true); }, true},
        {"numbersOnRus", [](LangData& l) { l.setNumbersOn(true); }, true},
        {"punctuationOnRus", [](LangData& l) { l.setPunctuationOn(true); }, true},
    };
    auto model = makeModel(scripted());
    model->loadConfig();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        c.change(model->langRoot().getLang(Language::ru));
        auto saved = readConfig(configFile());
        ASSERT_TRUE(saved);
        ASSERT_TRUE(saved->find(c.key));
        EXPECT_EQ(*saved->find(c.key), c.stored);
        EXPECT_EQ(keyValue->values["config"], *saved);
    }
}

TEST_F(ModelTest, TheStatisticsCopyIsMadeOnceAndNeverRefreshed) {
    {
        auto model = makeModel(scripted());
        ASSERT_TRUE(std::filesystem::exists(supportFolder() / "statisticsCopy.db"));
        LangData& en = model->langRoot().getLang(Language::en);
        model->stats().addLesson(LessonsStatsDBTable::rowDictionary(9, 300, "", 100, en), false);
    }
    auto model = makeModel(scripted());
    EXPECT_EQ(model->stats().lessonsList().size(), 1u);
    LessonStats copy(supportFolder() / "statisticsCopy.db", 4);
    EXPECT_TRUE(copy.lessonsList().empty());
}

TEST_F(ModelTest, TheModelIsWiredToItsParts) {
    auto model = makeModel(scripted());
    EXPECT_EQ(model->stats().cloud, cloud);
    // The error sound follows the setting at every typo.
    EXPECT_TRUE(model->textLine().sound.isOn());
    model->config().setSoundOn(false);
    EXPECT_FALSE(model->textLine().sound.isOn());
    // A language's change reaches the settings' change stream as a text change.
    std::vector<ConfigUpdate> events;
    rx::DisposeBag bag;
    model->config()
        .didChange.subscribe([&](const ConfigUpdate& e) { events.push_back(e); })
        .disposed(bag);
    model->langRoot().getLang(Language::fr).setNumbersOn(true);
    model->langRoot().getLang(Language::fr).setDifficultyAuto(false);
    EXPECT_EQ(events, (std::vector<ConfigUpdate>{ConfigUpdate::Normal, ConfigUpdate::TextUpdate,
                                                 ConfigUpdate::Normal}));
    // The interface-language hooks read the settings.
    model->config().setLanguage(Language::tr);
    model->config().setSameLangOfUIAndTyping(true);
    EXPECT_TRUE(localUsesLearningLanguage());
    EXPECT_EQ(localLearningLanguage(), "tr");
}

TEST_F(ModelTest, InterfaceLanguageFollowsTheLearningLanguageOnlyWhenAsked) {
    ScopedLocal local;
    auto model = makeModel(scripted());
    model->setLanguage(model->langRoot().getLang(Language::es));
    EXPECT_TRUE(local.local.chosen.empty());
    EXPECT_EQ(model->config().language(), Language::es);
    model->config().setSameLangOfUIAndTyping(true);
    model->setLanguage(model->langRoot().getLang(Language::it));
    EXPECT_EQ(local.local.chosen, std::vector<std::string>{"it"});
}

TEST_F(ModelTest, HooksAreReleasedWithTheModel) {
    {
        auto model = makeModel(scripted());
        model->config().setSameLangOfUIAndTyping(true);
        model->config().setLanguage(Language::gr);
        ASSERT_TRUE(localUsesLearningLanguage());
    }
    EXPECT_FALSE(localUsesLearningLanguage());
    EXPECT_EQ(localLearningLanguage(), "en");
}

TEST(DisplaySpeedTest, WordsPerMinuteIsTheSinglePrecisionCeiling) {
    struct Case {
        int cpm;
        float ratio;
        int wpm;
    };
    const Case cases[] = {
        {101, 5.0f, 21},
        {100, 5.0f, 20},
        {0, 5.0f, 0},
        // In double precision 51 / 5.1f is just above 10 and would show 11.
        {51, 5.1f, 10},
        {52, 5.1f, 11},
        {313, 6.26f, 50},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(wordsPerMinute(c.cpm, c.ratio), c.wpm) << c.cpm << " / " << c.ratio;
    }
    EXPECT_EQ(int(std::ceil(51 / double(5.1f))), 11);
}

TEST(DisplaySpeedTest, NoRatioToDivideByLeavesTheSpeedAlone) {
    for (float ratio : {0.0f, -5.0f, NAN, INFINITY}) {
        EXPECT_EQ(wordsPerMinute(120, ratio), 120) << ratio;
    }
    EXPECT_EQ(wordsPerMinute(2000000000, 1e-30f), std::numeric_limits<int>::max());
}

TEST_F(ModelTest, DisplaySpeedUsesTheUnitAndTheLearningLanguage) {
    auto model = makeModel(scripted());
    EXPECT_EQ(model->displaySpeed(0), 0);
    EXPECT_EQ(model->displaySpeed(51), 51);
    model->config().setSpeedType(SpeedType::WPM);
    EXPECT_EQ(model->displaySpeed(51), 10);  // English, 5.1 characters a word
    model->config().setLanguage(Language::de);
    EXPECT_EQ(model->displaySpeed(313), 50);  // German, 6.26
}

TEST(IsRunningTestsTest, TheKeyCountsWhateverItsValue) {
    {
        ScopedEnv env("XCInjectBundleInto", "");
        EXPECT_TRUE(isRunningTests());
    }
    {
        ScopedEnv env("XCInjectBundleInto", "/some/bundle");
        EXPECT_TRUE(isRunningTests());
    }
    ScopedEnv env("XCInjectBundleInto", nullptr);
    EXPECT_FALSE(isRunningTests());
}

TEST_F(ModelTest, ServicesMadeAsNothingAreReplacedByOnesThatDoNothing) {
    ModelServices services;
    services.makeCloud = [](LessonStats&) { return std::unique_ptr<WVCloudProtocol>(); };
    services.makeCloudKeyValue = [] { return std::unique_ptr<WVCloudKeyValueProtocol>(); };
    Model model(services, scripted());
    model.loadConfig();
    model.config().setSoundOn(false);
    LangData& en = model.langRoot().getLang(Language::en);
    EXPECT_TRUE(
        model.stats().addLesson(LessonsStatsDBTable::rowDictionary(9, 300, "", 100, en), true));
    EXPECT_EQ(model.stats().cloud, &model.cloud());
    EXPECT_FALSE(model.cloudKeyValue().dictionaryForKey("config"));
}

TEST_F(ModelTest, TheSharedModelIsMadeOnceWithTheServicesGivenFirst) {
    ModelServices services;
    services.analytics = analytics;
    auto* made = new RecordingCloudKeyValue;
    services.makeCloudKeyValue = [made] { return std::unique_ptr<WVCloudKeyValueProtocol>(made); };
    ASSERT_TRUE(Model::setSharedServices(services));
    Model& first = model();
    EXPECT_EQ(&first, &model());
    EXPECT_EQ(&first.cloudKeyValue(), made);
    EXPECT_FALSE(Model::setSharedServices(ModelServices{}));
    EXPECT_EQ(displaySpeed(77), 77);
}

}  // namespace
}  // namespace wv
