#include <gtest/gtest.h>

#include <filesystem>

#include "FakeWordGenerator.h"
#include "languages/LangRoot.h"
#include "storage/Config.h"
#include "storage/FS.h"

namespace wv {
namespace {

// The settings file as the hub writes it: the application-wide entries, then each language's
// entries in list order.
plist::Dictionary settings(const Config& config, const LangRoot& root) {
    plist::Dictionary d = config.toDictionary();
    for (const auto& data : root.languages()) {
        for (const auto& [key, value] : data->toDictionary()) d.set(key, value);
    }
    return d;
}

TEST(ConfigFile, SettingsRoundTripThroughConfigPlistUnchanged) {
    Config config;
    config.setLanguage(Language::tr);
    config.setSpeedType(SpeedType::WPM);
    config.setKeyHintsOn(false);
    config.setPressEnterCounter(2);
    LangRoot root(FakeWordGenerator::factory());
    root.getLang(Language::en).selectLayout(3);
    root.getLang(Language::fr).setDifficulty(5);
    root.getLang(Language::gr).setDifficultyAuto(false);
    root.getLang(Language::pr).setCapitalsOn(true);
    root.getLang(Language::ru).setNumbersOn(true);
    root.getLang(Language::es).setPunctuationOn(true);

    plist::Dictionary written = settings(config, root);
    EXPECT_EQ(written.size(), 7u + 60u);
    auto path = FS::appSupportURL() / "config.plist";
    ASSERT_TRUE(plist::writeFile(path, written));

    auto read = plist::readFile(path);
    ASSERT_TRUE(read.has_value());
    const plist::Dictionary* dictionary = read->get<plist::Dictionary>();
    ASSERT_NE(dictionary, nullptr);
    EXPECT_EQ(*dictionary, written);

    // Applied to a fresh record and languages, the file gives back the same settings.
    Config loaded;
    loaded.load(*dictionary);
    LangRoot loadedRoot(FakeWordGenerator::factory());
    loadedRoot.load(*dictionary);
    EXPECT_EQ(settings(loaded, loadedRoot), written);
    EXPECT_EQ(loadedRoot.getLang(Language::en).keys().currentLayoutIndex(), 3);
    EXPECT_EQ(loaded.language(), Language::tr);
}

}  // namespace
}  // namespace wv
