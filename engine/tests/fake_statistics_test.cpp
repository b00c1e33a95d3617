#include <gtest/gtest.h>

#include "engine/FakeStatistics.h"
#include "engine/LessonStats.h"
#include "engine/RecordingCloud.h"
#include "languages/LangData.h"
#include "languages/layouts/KeyMapFr.h"
#include "platform/foundation/Random.h"

namespace wv {
namespace {

struct Expected {
    int speed;
    double time;
    std::string mistypes;
    int accuracy;
    int difficulty;
};

class FakeStatisticsTest : public ::testing::Test {
  protected:
    FakeStatisticsTest() {
        stats.cloud = &cloud;
        stats.sessionSkipped = true;
        langData = std::make_unique<LangData>(
            Language::fr, "flag", std::make_unique<KeyMapFr>(), 5.0f,
            [this](bool text) { updates.push_back(text); }, nullptr);
    }

    void expectRecords(const std::vector<Expected>& expected) {
        const auto& list = stats.lessonsList();
        ASSERT_EQ(list.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            SCOPED_TRACE("record " + std::to_string(i));
            const LessonInfo& r = *list[i];
            EXPECT_EQ(r.speedCPM, expected[i].speed);
            EXPECT_DOUBLE_EQ(r.time, expected[i].time);
            EXPECT_EQ(r.mistypes, expected[i].mistypes);
            EXPECT_EQ(r.mistypesCount, int(expected[i].mistypes.size() / 2));
            EXPECT_EQ(r.accuracy, expected[i].accuracy);
            EXPECT_EQ(r.difficulty, expected[i].difficulty);
            EXPECT_EQ(r.language, Language::fr);
        }
    }

    LessonStats stats{":memory:", 4};
    RecordingCloud cloud;
    std::unique_ptr<LangData> langData;
    std::vector<bool> updates;
};

TEST_F(FakeStatisticsTest, ClimbsTheLessonsWithGrowingSpeed) {
    ScopedRandomSource random(std::make_shared<ScriptedRandom>(ScriptedRandom{
        // level 0: speed 30 + 10 - 25, three pairs, stays
        {10, 66},
        {2, 5},
        {3, 6},
        // level 0: speed 5 + 30 + 0 - 25 = 10, its level-up hits: no typos, speed 53
        {0, 66},
        {4, 5},
        {0, 6},
        // level 1: speed 10 + 30 + 65 - 25, one pair
        {65, 66},
        {0, 5},
        {1, 7},
    }));
    generateFakeStatistics(*langData, stats, 3, true);
    expectRecords({
        {15, 100.0 / 15, "abbccd", 97, 0},
        {53, 100.0 / 10, "", 100, 0},
        {80, 100.0 / 80, "ab", 99, 1},
    });
    EXPECT_EQ(langData->difficulty(), 1);
    EXPECT_EQ(updates, (std::vector<bool>{true, true, true}));
    EXPECT_EQ(cloud.queued.size(), 3u);
    EXPECT_FALSE(stats.sessionSkipped);
}

TEST_F(FakeStatisticsTest, ExpertRecordsFollowTheSeventhLevelUp) {
    std::vector<ScriptedRandom::Draw> script;
    for (uint32_t level = 0; level <= 6; ++level) {
        // Five pairs drawn, then dropped by the level-up.
        script.insert(script.end(), {{65, 66}, {4, 5}, {0, level + 6}});
    }
    script.insert(script.end(), {{100, 101}, {0, 6}, {0, 101}, {5, 6}});
    ScopedRandomSource random(std::make_shared<ScriptedRandom>(script));

    generateFakeStatistics(*langData, stats, 9, false);

    std::vector<Expected> expected;
    for (int level = 0; level <= 6; ++level) {
        const int speed = 5 * level + 70;
        expected.push_back({speed, 100.0 / speed, "", 100, level});
    }
    expected.push_back({380, 100.0 / 380, "", 100, 6});
    expected.push_back({280, 100.0 / 280, "abbccddeef", 95, 6});
    expectRecords(expected);
    EXPECT_EQ(langData->difficulty(), 6);
    EXPECT_EQ(updates.size(), 7u);  // expert records leave the lesson alone
    EXPECT_TRUE(cloud.queued.empty());
}

TEST_F(FakeStatisticsTest, AccuracyOfOneToFivePairs) {
    std::vector<ScriptedRandom::Draw> script;
    for (uint32_t k = 0; k < 5; ++k) script.insert(script.end(), {{25, 66}, {k, 5}, {1, 6}});
    ScopedRandomSource random(std::make_shared<ScriptedRandom>(script));
    generateFakeStatistics(*langData, stats, 5, false);
    const auto& list = stats.lessonsList();
    ASSERT_EQ(list.size(), 5u);
    const int accuracies[] = {99, 98, 97, 96, 95};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(list[i]->accuracy, accuracies[i]);
        EXPECT_EQ(list[i]->mistypesCount, int(i) + 1);
        EXPECT_EQ(list[i]->speedCPM, 5 * int(i) + 30);
    }
}

TEST_F(FakeStatisticsTest, NoRecordsLeaveEverythingAlone) {
    langData->setDifficulty(4);
    updates.clear();
    ScopedRandomSource random(std::make_shared<ScriptedRandom>(ScriptedRandom{}));
    generateFakeStatistics(*langData, stats, 0, true);
    EXPECT_TRUE(stats.lessonsList().empty());
    EXPECT_EQ(langData->difficulty(), 4);
    EXPECT_TRUE(updates.empty());
    EXPECT_TRUE(stats.sessionSkipped);
}

}  // namespace
}  // namespace wv
