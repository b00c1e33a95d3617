#include "storage/Config.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/plist/UserDefaults.h"
#include "storage/FS.h"

namespace wv {
namespace {

// Records every event the stream delivers, in order.
struct Recorder {
    explicit Recorder(Config& config) {
        subscription =
            config.didChange.subscribe([this](const ConfigUpdate& u) { events.push_back(u); });
    }
    ~Recorder() { subscription.dispose(); }
    Recorder(const Recorder&) = delete;
    std::vector<ConfigUpdate> events;
    rx::Disposable subscription;
};

using enum ConfigUpdate;

TEST(Config, NewRecordHasTheDefaults) {
    Config config;
    EXPECT_EQ(config.language(), Language::en);
    EXPECT_EQ(config.speedType(), SpeedType::CPM);
    EXPECT_FALSE(config.sameLangOfUIAndTyping());
    EXPECT_TRUE(config.handsOn());
    EXPECT_TRUE(config.keyHintsOn());
    EXPECT_TRUE(config.soundOn());
    EXPECT_EQ(config.pressEnterCounter(), 0);

    plist::Dictionary expected;
    expected.set("language", 0);
    expected.set("speedType", 0);
    expected.set("sameLangOfUIAndTyping", false);
    expected.set("handsOn", true);
    expected.set("keyHintsOn", true);
    expected.set("soundOn", true);
    expected.set("pressEnterCounter", 0);
    EXPECT_EQ(config.toDictionary(), expected);
    // Booleans stay booleans in the file, numbers stay integers.
    EXPECT_TRUE(config.toDictionary().find("handsOn")->is<bool>());
    EXPECT_TRUE(config.toDictionary().find("speedType")->is<int64_t>());
}

TEST(Config, FirstSubscriberReceivesNormal) {
    Config config;
    Recorder r(config);
    EXPECT_EQ(r.events, std::vector<ConfigUpdate>{Normal});
}

TEST(Config, EveryStoreIsAnnouncedRightAfterIt) {
    Config config;
    std::vector<std::string> seen;
    config.onLangDidSet = [&] {
        seen.push_back("lang=" + std::to_string(rawValue(config.language())));
    };
    auto sub = config.didChange.subscribe([&](const ConfigUpdate& u) {
        seen.push_back(u == TextUpdate ? "TextUpdate" : "Normal");
        // The value is already stored when observers hear of it.
        seen.back() += config.handsOn() ? "+hands" : "-hands";
    });
    seen.clear();

    config.setHandsOn(false);
    config.setHandsOn(false);  // the same value is still announced
    config.setLanguage(Language::de);
    config.setPressEnterCounter(3);  // silent
    config.setSpeedType(SpeedType::WPM);
    config.setKeyHintsOn(false);
    config.setSoundOn(false);
    config.setSameLangOfUIAndTyping(true);
    EXPECT_EQ(seen, (std::vector<std::string>{"Normal-hands", "Normal-hands", "lang=3",
                                              "TextUpdate-hands", "Normal-hands", "Normal-hands",
                                              "Normal-hands", "Normal-hands"}));
}

TEST(Config, LoadingAnEmptyDictionaryGivesDefaultsAndTheFixedEventOrder) {
    Config config;
    config.setLanguage(Language::gr);
    config.setSpeedType(SpeedType::WPM);
    config.setHandsOn(false);
    config.setPressEnterCounter(9);
    int langCalls = 0;
    config.onLangDidSet = [&] { ++langCalls; };
    Recorder r(config);
    r.events.clear();

    config.load({});

    EXPECT_EQ(langCalls, 1);
    EXPECT_EQ(r.events,
              (std::vector<ConfigUpdate>{TextUpdate, Normal, Normal, Normal, Normal, Normal}));
    Config fresh;
    EXPECT_EQ(config.toDictionary(), fresh.toDictionary());
}

TEST(Config, LoadFallsBackOnOutOfRangeAndWronglyTypedValues) {
    struct Case {
        const char* key;
        plist::Value value;
        Language language;
        SpeedType speed;
        bool hands;
    } cases[] = {
        {"speedType", 1, Language::en, SpeedType::WPM, true},
        {"speedType", 2, Language::en, SpeedType::CPM, true},
        {"speedType", -1, Language::en, SpeedType::CPM, true},
        {"speedType", "1", Language::en, SpeedType::CPM, true},
        {"language", 3, Language::de, SpeedType::CPM, true},
        {"language", 9, Language::pr, SpeedType::CPM, true},
        {"language", 42, Language::en, SpeedType::CPM, true},
        {"language", 10, Language::en, SpeedType::CPM, true},
        {"language", -1, Language::en, SpeedType::CPM, true},
        {"language", "de", Language::en, SpeedType::CPM, true},
        {"handsOn", "no", Language::en, SpeedType::CPM, true},
        {"handsOn", false, Language::en, SpeedType::CPM, false},
    };
    for (const auto& c : cases) {
        Config config;
        config.setLanguage(Language::tr);
        config.setSpeedType(SpeedType::WPM);
        config.setHandsOn(false);
        Recorder r(config);
        r.events.clear();
        plist::Dictionary d;
        d.set(c.key, c.value);
        config.load(d);
        EXPECT_EQ(config.language(), c.language) << c.key;
        EXPECT_EQ(config.speedType(), c.speed) << c.key;
        EXPECT_EQ(config.handsOn(), c.hands) << c.key;
        // A bad value changes nothing in what is announced.
        EXPECT_EQ(r.events.size(), 6u) << c.key;
    }
}

TEST(Config, LateSubscriberReceivesNormalAfterALoad) {
    Config config;
    plist::Dictionary d;
    d.set("language", 5);
    config.load(d);
    Recorder late(config);
    EXPECT_EQ(late.events, std::vector<ConfigUpdate>{Normal});

    config.setLanguage(Language::it);
    Recorder later(config);
    EXPECT_EQ(later.events, std::vector<ConfigUpdate>{TextUpdate});
}

TEST(Config, DictionaryRoundTripReproducesEveryField) {
    Config source;
    source.setLanguage(Language::ua);
    source.setSpeedType(SpeedType::WPM);
    source.setSameLangOfUIAndTyping(true);
    source.setHandsOn(false);
    source.setKeyHintsOn(false);
    source.setSoundOn(false);
    source.setPressEnterCounter(4);

    plist::Dictionary d = source.toDictionary();
    d.set("layoutEng", 1);  // entries of the languages sit beside and are ignored
    Config copy;
    copy.load(d);
    EXPECT_EQ(copy.language(), Language::ua);
    EXPECT_EQ(copy.speedType(), SpeedType::WPM);
    EXPECT_TRUE(copy.sameLangOfUIAndTyping());
    EXPECT_FALSE(copy.handsOn());
    EXPECT_FALSE(copy.keyHintsOn());
    EXPECT_FALSE(copy.soundOn());
    EXPECT_EQ(copy.pressEnterCounter(), 4);
    EXPECT_EQ(copy.toDictionary(), source.toDictionary());
}

TEST(Config, ResetToFirstLaunchRemovesTheSettingsFileAndKeepsTheRecord) {
    auto path = FS::appSupportURL() / "config.plist";
    std::ofstream(path) << "x";
    Config config;
    config.setSoundOn(false);
    UserDefaults::standard().setObject("WVCloudLogicChangeToken", "token");
    {
        LogCapture log;
        Config::resetToFirstLaunch();
        EXPECT_EQ(log.lines(), std::vector<std::string>{"DELETED CONFIG FILE : " + path.string()});
    }
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(UserDefaults::standard().objectForKey("WVCloudLogicChangeToken"));
    EXPECT_FALSE(config.soundOn());
    // No file to remove: the same message, nothing else.
    LogCapture log;
    Config::resetToFirstLaunch();
    EXPECT_EQ(log.lines(), std::vector<std::string>{"DELETED CONFIG FILE : " + path.string()});
}

TEST(Config, AppVersionString) {
    EXPECT_EQ(Config::appVersionString("2.1", "57"), "2.1 (57)");
    EXPECT_EQ(Config::appVersionString(),
              Bundle::main().shortVersion() + " (" + Bundle::main().buildVersion() + ")");
}

}  // namespace
}  // namespace wv
