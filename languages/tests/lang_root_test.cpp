#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "FakeWordGenerator.h"
#include "languages/LangRoot.h"
#include "platform/foundation/Log.h"

namespace wv {
namespace {

TEST(LangRoot, TenLanguagesInTheirFixedOrder) {
    LangRoot root(FakeWordGenerator::factory());
    struct Row {
        Language type;
        const char* flag;
        float wpmRatio;
        size_t layouts;
    } rows[] = {
        {Language::en, "flagUS", 5.1f, 8},  {Language::de, "flagDE", 6.26f, 3},
        {Language::es, "flagES", 5.22f, 2}, {Language::fr, "flagFR", 5.13f, 5},
        {Language::it, "flagIT", 5.63f, 2}, {Language::ua, "flagUA", 5.82f, 2},
        {Language::ru, "flagRU", 6.36f, 3}, {Language::gr, "flagGR", 6.52f, 1},
        {Language::tr, "flagTR", 5.51f, 2}, {Language::pr, "flagBR", 5.15f, 4},
    };
    ASSERT_EQ(root.languages().size(), std::size(rows));
    for (size_t i = 0; i < std::size(rows); ++i) {
        const LangData& data = *root.languages()[i];
        EXPECT_EQ(data.type(), rows[i].type) << i;
        EXPECT_EQ(data.flag(), rows[i].flag) << i;
        EXPECT_EQ(data.wpmRatio(), rows[i].wpmRatio) << i;  // the float nearest the decimal
        EXPECT_EQ(data.keys().lang(), rows[i].type) << i;
        EXPECT_EQ(data.keys().currentLayoutIndex(), 0) << i;
        EXPECT_EQ(data.keys().layouts().size(), rows[i].layouts) << i;
        EXPECT_NE(data.generator(), nullptr) << i;
        EXPECT_EQ(data.punctuations()->items().size(), 4u) << i;
        EXPECT_EQ(data.punctuationsEnd()->items().size(), 3u) << i;
    }
}

TEST(LangRoot, GetLangFindsTheEntryByLanguageNotByRawValue) {
    LangRoot root(FakeWordGenerator::factory());
    EXPECT_EQ(&root.getLang(Language::pr), root.languages()[9].get());
    EXPECT_EQ(&root.getLang(Language::de), root.languages()[1].get());
    EXPECT_EQ(&root.getLang(Language::ua), root.languages()[5].get());
    LogCapture log;
    for (const auto& data : root.languages())
        EXPECT_EQ(root.getLang(data->type()).type(), data->type());
    EXPECT_TRUE(log.lines().empty());
}

TEST(LangRoot, LanguageForCode) {
    LangRoot root(FakeWordGenerator::factory());
    LogCapture log;
    for (const auto& data : root.languages())
        EXPECT_EQ(root.languageForCode(data->code()), data->type());
    EXPECT_EQ(root.languageForCode("UA"), Language::ua);
    EXPECT_EQ(root.languageForCode("GR"), Language::gr);
    EXPECT_TRUE(log.lines().empty());

    for (const char* unknown : {"ua", "XX", ""}) {
        log.clear();
        EXPECT_EQ(root.languageForCode(unknown), Language::en) << unknown;
        EXPECT_EQ(log.lines(),
                  std::vector<std::string>{
                      std::string("IMPOSIBRU error: can't get language data for ") + unknown});
    }
}

TEST(LangRoot, LessonLetters) {
    LangRoot root(FakeWordGenerator::factory());
    EXPECT_EQ(root.lessonLetters(0, Language::en), "etao");
    EXPECT_EQ(root.lessonLetters(5, Language::en), "'jxqz");
    EXPECT_EQ(root.lessonLetters(1, Language::tr), "dıkm");
    EXPECT_EQ(root.lessonLetters(1, Language::gr), "ηυςκ");
    EXPECT_EQ(root.lessonLetters(3, Language::de), "bwfkz");
    EXPECT_EQ(root.lessonLetters(6, Language::en), "");
    EXPECT_EQ(root.lessonLetters(-1, Language::en), "");
}

TEST(LangRoot, WordsPerMinuteThroughTheRatio) {
    LangRoot root(FakeWordGenerator::factory());
    EXPECT_EQ(std::ceil(300 / root.getLang(Language::de).wpmRatio()), 48);
    float lowest = 100, highest = 0;
    for (const auto& data : root.languages()) {
        lowest = std::min(lowest, data->wpmRatio());
        highest = std::max(highest, data->wpmRatio());
    }
    EXPECT_EQ(lowest, 5.1f);
    EXPECT_EQ(highest, 6.52f);
}

TEST(LangRoot, ALanguageChangeReachesTheCallbackAssignedLater) {
    LangRoot root(FakeWordGenerator::factory());
    std::vector<bool> updates;
    root.onUpdate = [&](bool b) { updates.push_back(b); };
    root.getLang(Language::fr).setDifficulty(3);
    root.getLang(Language::ru).setDifficultyAuto(false);
    root.getLang(Language::en).selectLayout(2);
    root.getLang(Language::es).setPunctuationOn(true);
    EXPECT_EQ(updates, (std::vector<bool>{true, false, true, true}));
}

TEST(LangRoot, LoadingAllLanguagesIsAnnouncedOnce) {
    LangRoot root(FakeWordGenerator::factory());
    plist::Dictionary d;
    d.set("difficultyRus", 4);
    d.set("layoutEng", 1);
    d.set("numbersOnPr", true);
    std::vector<bool> updates;
    root.onUpdate = [&](bool b) { updates.push_back(b); };
    root.load(d);
    EXPECT_EQ(updates, std::vector<bool>{true});
    EXPECT_EQ(root.getLang(Language::ru).difficulty(), 4);
    EXPECT_EQ(root.getLang(Language::en).keys().currentLayoutIndex(), 1);
    EXPECT_TRUE(root.getLang(Language::pr).numbersOn());
    EXPECT_FALSE(root.getLang(Language::es).numbersOn());
}

// The settings name a layout for every language, but only the languages used build their
// tables. The stored layout must survive until then: saved back unchanged, and current once
// the tables exist; a number no layout has leaves the first layout current.
TEST(LangRoot, StoredLayoutsWaitForTheKeyMapAndSurviveASave) {
    LangRoot root(FakeWordGenerator::factory());
    struct Case {
        Language lang;
        const char* key;
        int64_t stored;
        int64_t saved;  // before the key map is used
        int current;    // once it is
    } cases[] = {
        {Language::en, "layoutEng", 7, 7, 7}, {Language::fr, "layoutFr", 3, 3, 3},
        {Language::ru, "layoutRus", 0, 0, 0}, {Language::gr, "layoutGrk", 5, 5, 0},
        {Language::de, "layoutDe", -2, 0, 0},
    };
    plist::Dictionary d;
    for (const Case& c : cases) d.set(c.key, c.stored);
    root.load(d);
    for (const auto& data : root.languages()) EXPECT_FALSE(data->hasKeys()) << data->code();
    auto savedLayout = [](const LangData& data, const char* key) -> int64_t {
        const plist::Dictionary saved = data.toDictionary();
        const plist::Value* value = saved.find(key);
        return value && value->get<int64_t>() ? *value->get<int64_t>() : -100;
    };
    for (const Case& c : cases) {
        LangData& data = root.getLang(c.lang);
        EXPECT_EQ(savedLayout(data, c.key), c.saved) << c.key;
        EXPECT_EQ(data.keys().currentLayoutIndex(), c.current) << c.key;
        EXPECT_TRUE(data.hasKeys()) << c.key;
        EXPECT_EQ(savedLayout(data, c.key), c.current) << c.key;
    }
    EXPECT_FALSE(root.getLang(Language::it).hasKeys());
}

}  // namespace
}  // namespace wv
