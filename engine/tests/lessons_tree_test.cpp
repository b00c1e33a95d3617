#include <gtest/gtest.h>

#include "TestLanguage.h"
#include "engine/LessonsTree.h"

namespace wv {
namespace {

LessonInfoPtr record(Language language, std::optional<int> layout, int difficulty, int speed,
                     int typos, bool numbers = false, bool capitals = false,
                     bool punctuation = false) {
    auto lesson = std::make_shared<LessonInfo>();
    lesson->language = language;
    lesson->layoutIdx = layout;
    lesson->difficulty = difficulty;
    lesson->speedCPM = speed;
    lesson->mistypesCount = typos;
    lesson->isNumbersOn = numbers;
    lesson->isCapitalsOn = capitals;
    lesson->isPunctuationOn = punctuation;
    return lesson;
}

TEST(LessonsTree, FilesRecordsByLanguageAndLayoutWithMaxima) {
    LessonsTree tree;
    auto a = record(Language::de, 0, 1, 120, 3);
    auto b = record(Language::de, 0, 2, 90, 7);
    auto c = record(Language::de, 1, 1, 200, 0);
    auto d = record(Language::de, std::nullopt, 1, 50, 1);
    tree.addLessons({a, b, c, d});
    tree.addLessons({});

    ASSERT_EQ(tree.langLeafs.size(), 1u);
    const auto& layouts = tree.langLeafs.at(Language::de).layoutLeafs;
    ASSERT_EQ(layouts.size(), 3u);
    const auto& zero = layouts.at(0);
    EXPECT_EQ(zero.lessons, (std::vector<LessonInfoPtr>{a, b}));
    EXPECT_EQ(zero.lessons[0].get(), a.get());  // the same records, not copies
    EXPECT_EQ(zero.typosMax, 7);
    EXPECT_EQ(zero.speedMaxCPM, 120);
    EXPECT_EQ(layouts.at(1).lessons, std::vector<LessonInfoPtr>{c});
    EXPECT_EQ(layouts.at(1).typosMax, 0);
    EXPECT_EQ(layouts.at(-1).lessons, std::vector<LessonInfoPtr>{d});
    EXPECT_TRUE(zero.speedMaxCPMbyDifficulty.empty());
}

TEST(LessonsTree, LanguagesListEachOnceWithTheCurrentOneLast) {
    LessonsTree tree;
    EXPECT_TRUE(tree.languages(std::nullopt).empty());
    EXPECT_EQ(tree.languages(Language::fr), std::vector<Language>{Language::fr});
    tree.addLessons({record(Language::ru, 0, 0, 1, 0), record(Language::en, 0, 0, 1, 0),
                     record(Language::ru, 1, 0, 1, 0)});
    EXPECT_EQ(tree.languages(std::nullopt), (std::vector<Language>{Language::en, Language::ru}));
    EXPECT_EQ(tree.languages(Language::ru), (std::vector<Language>{Language::en, Language::ru}));
    EXPECT_EQ(tree.languages(Language::gr),
              (std::vector<Language>{Language::en, Language::ru, Language::gr}));
}

TEST(LessonsTree, AveragesCountEachRecordInItsLessonAndOptionGroups) {
    LessonTreeLayoutLeaf leaf;
    leaf.add(record(Language::es, 0, 2, 150, 0, true, false, true));
    leaf.add(record(Language::es, 0, 2, 400, 2));  // fast but with typos
    leaf.add(record(Language::es, 0, 4, 80, 1));   // a group with typos only
    leaf.add(record(Language::es, 0, 6, 210, 0, false, true, false));
    testing::TestLanguage english(Language::en);
    const LangData* lang = english.data.get();

    auto averages = leaf.lessonAverages(lang);
    ASSERT_EQ(averages.size(), 10u);
    struct Expect {
        int speed;
        bool active;
    } expected[10] = {{0, false}, {0, false},  {150, true}, {0, false},  {0, true},
                      {0, false}, {210, true}, {150, true}, {210, true}, {150, true}};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(averages[i].idx, i);
        EXPECT_EQ(averages[i].maxSpeedCPM, expected[i].speed) << i;
        EXPECT_EQ(averages[i].wasActive, expected[i].active) << i;
        EXPECT_EQ(averages[i].langData, lang);
    }
    EXPECT_EQ(leaf.speedMaxCPM, 400);  // the leaf's maximum counts records with typos
    EXPECT_EQ(leaf.typosMax, 2);
    EXPECT_FLOAT_EQ(averages[4].barValue(), 0.5f);
}

TEST(LessonsTree, ALanguageWithRecordsInOneGroupOnly) {
    LessonTreeLayoutLeaf leaf;
    leaf.add(record(Language::tr, 1, 3, 120, 0));
    leaf.add(record(Language::tr, 1, 3, 180, 0));
    auto averages = leaf.lessonAverages(nullptr);
    for (const auto& entry : averages) {
        EXPECT_EQ(entry.wasActive, entry.idx == 3) << entry.idx;
        EXPECT_EQ(entry.maxSpeedCPM, entry.idx == 3 ? 180 : 0) << entry.idx;
        EXPECT_FLOAT_EQ(entry.barValue(), entry.idx == 3 ? 1.8f : 0.0f);
    }
}

}  // namespace
}  // namespace wv
