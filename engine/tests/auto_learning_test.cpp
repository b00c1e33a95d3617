#include <gtest/gtest.h>

#include "TestLanguage.h"
#include "engine/AutoLearning.h"
#include "engine/LessonStats.h"
#include "languages/layouts/KeyMapEn.h"

namespace wv {
namespace {

using testing::ScriptedGenerator;

class AutoLearningTest : public ::testing::Test {
  protected:
    AutoLearningTest() {
        // Letter groups "a" to "f", so lesson 0 is the letter "a".
        lang = std::make_unique<LangData>(
            Language::en, "flag", std::make_unique<KeyMapEn>(), 5.1f,
            [this](bool text) { updates.push_back(text); },
            [](LangData&) { return std::make_unique<ScriptedGenerator>(); });
    }

    // Stores a record typed in `language` at lesson `difficulty`.
    void store(const std::string& mistypes, int speed = 120, int difficulty = 0,
               Language language = Language::en) {
        auto row = LessonsStatsDBTable::rowDictionary(30.0, speed, mistypes, 90, *lang);
        for (auto& [column, value] : row) {
            if (column == "diffLvl") value = int64_t(difficulty);
            if (column == "langId") value = int64_t(rawValue(language));
        }
        ASSERT_TRUE(stats.addLesson(row, false));
        stats.sessionSkipped = false;
    }

    void setLesson(int64_t difficulty, bool automatic) {
        lang->setDifficulty(difficulty);
        lang->setDifficultyAuto(automatic);
        updates.clear();
    }

    LessonStats stats{":memory:", 4};
    AutoLearning assist{stats};
    std::unique_ptr<LangData> lang;
    std::vector<bool> updates;
};

TEST_F(AutoLearningTest, NothingStoredChangesNothing) {
    setLesson(2, true);
    assist.errorSessionCounter = 3;
    assist.processLastLesson(*lang);
    EXPECT_EQ(lang->difficulty(), 2);
    EXPECT_TRUE(updates.empty());
    EXPECT_EQ(assist.errorSessionCounter, 3);
    EXPECT_FALSE(assist.lastLesson());
    EXPECT_FALSE(assist.isLevelRaised(*lang));
    EXPECT_FALSE(assist.shouldWarnManyTypos());
    EXPECT_TRUE(assist.mistypesFull()->dic().empty());
}

TEST_F(AutoLearningTest, LineWithoutTyposRaisesTheLessonOnlyInAutomaticModeBelowExpert) {
    struct Case {
        bool automatic;
        int64_t before;
        int64_t after;
    };
    const Case cases[] = {{true, 0, 1}, {true, 5, 6}, {true, 6, 6}, {false, 2, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.before) + (c.automatic ? " automatic" : " manual"));
        setLesson(c.before, c.automatic);
        store("", 120, int(c.before));
        assist.errorSessionCounter = 4;
        assist.processLastLesson(*lang);
        EXPECT_EQ(lang->difficulty(), c.after);
        EXPECT_EQ(assist.errorSessionCounter, 0);
        const std::vector<bool> announced =
            c.after != c.before ? std::vector<bool>{true} : std::vector<bool>{};
        EXPECT_EQ(updates, announced);
        EXPECT_EQ(assist.isLevelRaised(*lang), c.after != c.before);
    }
}

TEST_F(AutoLearningTest, TyposFeedThePracticePoolAndTheKeyCounts) {
    setLesson(0, true);
    store("ab");
    assist.processLastLesson(*lang);
    EXPECT_EQ(assist.errorSessionCounter, 1);
    EXPECT_EQ(lang->difficulty(), 0);
    EXPECT_TRUE(updates.empty());
    // "a" is the lesson's own letter and weighs double.
    EXPECT_EQ(assist.mistypesFull()->list(), "aaaabb");
    EXPECT_EQ(assist.mistypesFull()->count("a"), 4);
    EXPECT_EQ(assist.mistypesFull()->count("b"), 2);
    EXPECT_EQ(assist.mistypes()->list(), "a");
    EXPECT_EQ(assist.mistypes()->count("a"), 1);

    store("bAéa");  // "A" is not the lesson's "a"; the pool holds the last line only
    assist.processLastLesson(*lang);
    EXPECT_EQ(assist.errorSessionCounter, 2);
    EXPECT_EQ(assist.mistypesFull()->list(), "bbAAééaaaa");
    EXPECT_EQ(assist.mistypes()->list(), "bé");
}

TEST_F(AutoLearningTest, RecordOfAnotherLanguageIsProcessedUnderTheCurrentOne) {
    setLesson(3, true);
    store("xy", 120, 1, Language::de);
    EXPECT_FALSE(assist.isLevelRaised(*lang));
    assist.processLastLesson(*lang);
    EXPECT_EQ(assist.mistypesFull()->lang(), Language::en);
    EXPECT_EQ(assist.mistypes()->lang(), Language::en);
    EXPECT_EQ(assist.mistypes()->list(), "x");
}

TEST_F(AutoLearningTest, ALineThatWasNotStoredLeavesTheOlderRecordAlone) {
    setLesson(2, true);
    store("", 120, 2);
    assist.processLastLesson(*lang);
    ASSERT_EQ(lang->difficulty(), 3);
    updates.clear();

    // Three lines below the stored accuracy follow: none may count the clean record again.
    for (int i = 0; i < 3; ++i) {
        stats.sessionSkipped = true;
        assist.processLastLesson(*lang);
    }
    EXPECT_EQ(lang->difficulty(), 3);
    EXPECT_TRUE(updates.empty());
    EXPECT_EQ(assist.errorSessionCounter, 0);
}

TEST_F(AutoLearningTest, ManyTyposWarningAtFiveAndEveryTenthLine) {
    struct Case {
        int64_t counter;
        int speed;
        std::string mistypes;
        bool warn;
    };
    const Case cases[] = {
        {5, 50, "ab", true},   {10, 50, "ab", true}, {20, 200, "ab", true}, {0, 50, "ab", true},
        {15, 50, "ab", false}, {3, 50, "ab", false}, {10, 49, "ab", false}, {10, 200, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.counter) + " at " + std::to_string(c.speed));
        store(c.mistypes, c.speed);
        assist.errorSessionCounter = c.counter;
        EXPECT_EQ(assist.shouldWarnManyTypos(), c.warn);
    }
}

TEST_F(AutoLearningTest, LevelRaisedComparesTheLastRecordWithTheCurrentLesson) {
    store("", 120, 1);
    setLesson(2, false);
    EXPECT_TRUE(assist.isLevelRaised(*lang));
    setLesson(1, false);
    EXPECT_FALSE(assist.isLevelRaised(*lang));
    setLesson(0, false);
    EXPECT_FALSE(assist.isLevelRaised(*lang));
}

}  // namespace
}  // namespace wv
