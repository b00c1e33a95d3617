#include <gtest/gtest.h>

#include <fstream>

#include "engine/LessonStats.h"
#include "engine/RecordingCloud.h"
#include "platform/foundation/Folders.h"
#include "platform/foundation/Log.h"

namespace wv {
namespace {

std::filesystem::path statsPath() {
    std::filesystem::create_directories(Folders::dataHome());
    return Folders::dataHome() / "statistics.db";
}

RowDictionary row(int speed, int accuracy, const std::string& typos, int64_t lang = 0,
                  int64_t layout = 0) {
    return {{"timestamp", std::string("2025-06-07 08:09:10")},
            {"time", 12.5},
            {"speed", int64_t(speed)},
            {"mistakes", int64_t(typos.size() / 2)},
            {"mistakesChars", typos},
            {"langId", lang},
            {"diffLvl", int64_t(2)},
            {"diffAuto", int64_t(1)},
            {"accuracy", int64_t(accuracy)},
            {"hasDelete", false},
            {"hasNumbers", int64_t(1)},
            {"hasCapitals", int64_t(0)},
            {"hasPunctuation", int64_t(1)},
            {"layoutIdx", layout}};
}

TEST(LessonStats, AnEmptyStoreHasNoRecordsAndNoDeltas) {
    LogCapture log;
    LessonStats stats(statsPath(), 4);
    EXPECT_TRUE(log.contains("DB opened: statistics.db"));
    EXPECT_TRUE(log.contains("Statistics: creating db"));
    EXPECT_TRUE(stats.lessonsList().empty());
    EXPECT_TRUE(stats.lessonsTree().langLeafs.empty());
    EXPECT_EQ(stats.accuracyDelta(), 0);
    EXPECT_EQ(stats.speedDelta(), 0);
    EXPECT_EQ(stats.typosDelta(), 0);
    EXPECT_EQ(stats.cloud, nullptr);
    EXPECT_FALSE(stats.sessionSkipped);
    EXPECT_TRUE(stats.canStore());
}

TEST(LessonStats, DeltasAreLastMinusPreviousOnceTwoRecordsExist) {
    LogCapture quiet;
    LessonStats stats(statsPath(), 4);
    stats.addLesson(row(200, 96, "ab"), true);
    EXPECT_EQ(stats.speedDelta(), 0);
    stats.addLesson(row(150, 99, "", 5), true);  // another language still counts
    EXPECT_EQ(stats.speedDelta(), -50);
    EXPECT_EQ(stats.accuracyDelta(), 3);
    EXPECT_EQ(stats.typosDelta(), -1);
    stats.addLesson(row(180, 90, "abcdef"), true);
    EXPECT_EQ(stats.speedDelta(), 30);
    EXPECT_EQ(stats.accuracyDelta(), -9);
    EXPECT_EQ(stats.typosDelta(), 3);
    // A following line that was not stored shows no change rather than the older one.
    stats.sessionSkipped = true;
    EXPECT_EQ(stats.speedDelta(), 0);
    EXPECT_EQ(stats.accuracyDelta(), 0);
    EXPECT_EQ(stats.typosDelta(), 0);
}

TEST(LessonStats, AStoredLineIsReadBackListedFiledAndQueued) {
    LogCapture quiet;
    LessonStats stats(statsPath(), 4);
    RecordingCloud cloud;
    stats.cloud = &cloud;
    auto first = stats.addLesson(row(210, 98, "xy", 3, 1), true);
    auto fetched = stats.addLesson(row(190, 100, "", 3, 1), false);  // from the cloud
    EXPECT_EQ(first, 1);
    EXPECT_EQ(fetched, 2);
    ASSERT_EQ(stats.lessonsList().size(), 2u);
    const auto& lesson = stats.lessonsList()[0];
    EXPECT_EQ(lesson->id, 1);
    EXPECT_EQ(lesson->localTime, "2025-06-07 08:09:10");
    EXPECT_EQ(lesson->language, Language::de);
    EXPECT_EQ(lesson->mistypes, "xy");
    EXPECT_EQ(cloud.queued, std::vector<LessonInfoPtr>{lesson});
    const auto& leaf = stats.lessonsTree().langLeafs.at(Language::de).layoutLeafs.at(1);
    EXPECT_EQ(leaf.lessons, stats.lessonsList());
    EXPECT_EQ(leaf.speedMaxCPM, 210);
}

TEST(LessonStats, AFailedInsertStoresNothingFurther) {
    LogCapture log;
    LessonStats stats(statsPath(), 4);
    RecordingCloud cloud;
    stats.cloud = &cloud;
    ASSERT_TRUE(stats.addLesson(row(100, 80, "ab"), true));
    auto broken = row(300, 100, "");
    broken.erase(broken.begin());  // "timestamp" is required
    log.clear();
    EXPECT_EQ(stats.addLesson(broken, true), std::nullopt);
    EXPECT_FALSE(log.lines(LogChannel::System).empty());  // the failure is reported
    EXPECT_EQ(stats.lessonsList().size(), 1u);
    EXPECT_EQ(stats.lessonsTree().langLeafs.at(Language::en).layoutLeafs.at(0).lessons.size(), 1u);
    EXPECT_EQ(cloud.queued.size(), 1u);
    EXPECT_EQ(stats.db().count("sessions"), 1u);
    EXPECT_FALSE(stats.canStore());
    // Storing works again: so does the store.
    ASSERT_TRUE(stats.addLesson(row(120, 85, ""), true));
    EXPECT_TRUE(stats.canStore());
}

TEST(LessonStats, ARowThatCannotBeReadBackIsNotListedButItsIdIsReturned) {
    LogCapture quiet;
    LessonStats stats(statsPath(), 4);
    RecordingCloud cloud;
    stats.cloud = &cloud;
    auto odd = row(100, 80, "");
    odd[0].second = std::string("yesterday");
    EXPECT_EQ(stats.addLesson(odd, true), 1);
    EXPECT_TRUE(stats.lessonsList().empty());
    EXPECT_TRUE(cloud.queued.empty());
}

TEST(LessonStats, ANewStoreLoadsWhatAnEarlierOneStored) {
    LessonInfo stored;
    {
        LogCapture quiet;
        LessonStats stats(statsPath(), 4);
        stats.addLesson(row(250, 97, "éeъь", 2, 0), true);
        stats.addLesson(row(260, 100, "", 7, 1), true);
        stored = *stats.lessonsList()[0];
    }
    LogCapture log;
    LessonStats again(statsPath(), 4);
    EXPECT_FALSE(log.contains("Statistics: creating db"));
    ASSERT_EQ(again.lessonsList().size(), 2u);
    EXPECT_EQ(*again.lessonsList()[0], stored);
    EXPECT_EQ(again.lessonsTree().langLeafs.size(), 2u);
}

}  // namespace
}  // namespace wv

namespace wv {
namespace {

TEST(LessonStats, AFileThatIsNoDatabaseGivesAnEmptyStoreThatStoresNothing) {
    const auto path = statsPath();
    {
        std::ofstream garbage(path, std::ios::binary);
        garbage << std::string(4096, '\x5a') << "not a database";
    }
    LogCapture log;
    LessonStats stats(path, 4);
    EXPECT_TRUE(stats.lessonsList().empty());
    EXPECT_FALSE(stats.canStore()) << "known before the first line";
    RecordingCloud cloud;
    stats.cloud = &cloud;
    EXPECT_EQ(stats.addLesson(row(100, 90, "ab"), true), std::nullopt);
    EXPECT_TRUE(stats.lessonsList().empty());
    EXPECT_TRUE(cloud.queued.empty());
    EXPECT_FALSE(log.lines(LogChannel::System).empty());
}

TEST(LessonStats, AFolderThatIsAFileCannotStore) {
    const auto folder = statsPath().parent_path() / "not-a-folder";
    std::ofstream(folder) << "a file where the folder belongs";
    LogCapture log;
    LessonStats stats(folder / "statistics.db", 4);
    EXPECT_FALSE(stats.canStore());
    EXPECT_EQ(stats.addLesson(row(100, 90, "ab"), true), std::nullopt);
    EXPECT_FALSE(stats.canStore());
}

// Rows that arrive together are stored together: a refusal of one link, or a row that
// cannot be read back, leaves neither the table nor the list with any of them.
TEST(LessonStats, RowsStoredTogetherAreAllOrNothing) {
    std::filesystem::create_directories(Folders::dataHome());
    const auto path = Folders::dataHome() / "together.db";
    std::filesystem::remove(path);
    LessonStats stats(path, 4);
    RecordingCloud cloud;
    stats.cloud = &cloud;
    stats.db().createTable("links", "local_id integer");
    auto linkEach = [&](size_t, const LessonInfo& stored) {
        return stats.db().insert({{"local_id", stored.id}}, "links").has_value();
    };
    auto unreadable = row(100, 90, "");
    unreadable[0].second = std::string("not a time");

    struct Case {
        const char* name;
        std::vector<RowDictionary> rows;
        LessonStats::LinkStored link;
        bool stored;
    };
    const std::vector<Case> cases = {
        {"a refused link", {row(100, 90, ""), row(110, 91, "")},
         [&](size_t index, const LessonInfo& s) { return index == 0 && linkEach(index, s); },
         false},
        {"an unreadable row", {row(100, 90, ""), unreadable}, linkEach, false},
        {"two good rows", {row(120, 92, "ab", 3), row(130, 93, "", 4)}, linkEach, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto before = stats.lessonsList().size();
        const auto rowsBefore = stats.db().count("sessions");
        auto result = stats.addLessonsTogether(c.rows, c.link);
        EXPECT_EQ(result.has_value(), c.stored);
        const size_t added = c.stored ? c.rows.size() : 0;
        EXPECT_EQ(stats.lessonsList().size(), before + added);
        EXPECT_EQ(stats.db().count("sessions"), rowsBefore + added);
        EXPECT_EQ(stats.db().count("links"), stats.db().count("sessions"));
    }
    ASSERT_EQ(stats.lessonsList().size(), 2u);
    EXPECT_EQ(stats.lessonsList()[0]->language, Language::de);
    EXPECT_EQ(stats.lessonsList()[1]->language, Language::es);
    EXPECT_EQ(stats.lessonsTree().langLeafs.count(Language::de), 1u);
    EXPECT_TRUE(cloud.queued.empty());  // records from elsewhere never go back up
}

}  // namespace
}  // namespace wv
