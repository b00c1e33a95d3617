#include <gtest/gtest.h>

#include <cstdio>

#include "TestLanguage.h"
#include "engine/LessonStats.h"
#include "platform/foundation/Folders.h"
#include "platform/foundation/Log.h"

namespace wv {
namespace {

using testing::TestLanguage;

Date at(int y, int mo, int d, int h, int mi, int s) {
    using namespace std::chrono;
    // A wall-clock time in the local zone, whatever that zone is.
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    tm.tm_isdst = -1;
    return system_clock::from_time_t(mktime(&tm));
}

std::string sqlite3Output(const std::filesystem::path& file, const std::string& sql) {
    const std::string command = "sqlite3 -separator '|' '" + file.string() + "' \"" + sql + "\"";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
        pclose(pipe);
    }
    return out;
}

TEST(LessonsStatsRow, RowOfAFinishedLineTakesTheLanguageSettings) {
    TestLanguage fr;
    fr.data->setDifficulty(6);
    fr.data->setDifficultyAuto(false);
    fr.data->setNumbersOn(true);
    fr.data->setCapitalsOn(false);
    fr.data->setPunctuationOn(true);
    fr.data->selectLayout(2);
    const auto row = LessonsStatsDBTable::rowDictionary(41.25, 187, "éxa∙ê", 91, *fr.data,
                                                        at(2024, 3, 9, 7, 5, 3));
    const RowDictionary expected = {
        {"timestamp", std::string("2024-03-09 07:05:03")},
        {"time", 41.25},
        {"speed", int64_t(187)},
        {"mistakes", int64_t(2)},  // five characters: two typos, the stray half dropped
        {"mistakesChars", std::string("éxa∙ê")},
        {"langId", int64_t(5)},
        {"diffLvl", int64_t(6)},
        {"diffAuto", int64_t(0)},
        {"accuracy", int64_t(91)},
        {"hasDelete", false},
        {"hasNumbers", int64_t(1)},
        {"hasCapitals", int64_t(0)},
        {"hasPunctuation", int64_t(1)},
        {"layoutIdx", int64_t(2)},
    };
    EXPECT_EQ(row, expected);
}

TEST(LessonsStatsRow, AStoredRecordReadsBackEqualFromANewStoreAndFromTheFile) {
    const auto file = Folders::dataHome() / "statistics.db";
    std::filesystem::create_directories(file.parent_path());
    TestLanguage fr;
    fr.data->setDifficulty(6);
    fr.data->setDifficultyAuto(true);
    fr.data->setNumbersOn(true);
    fr.data->setCapitalsOn(true);
    fr.data->setPunctuationOn(true);
    fr.data->selectLayout(4);
    const Date when = at(2025, 11, 30, 23, 59, 58);

    LessonInfo stored;
    {
        LogCapture quiet;
        LessonStats stats(file, 4);
        auto id = stats.addLesson(
            LessonsStatsDBTable::rowDictionary(33.5, 212, "ê^ab", 95, *fr.data, when), true);
        ASSERT_EQ(id, 1);
        stored = *stats.lessonsList().at(0);
    }
    LessonInfo expected;
    expected.id = 1;
    expected.localTime = "2025-11-30 23:59:58";
    expected.time = 33.5;
    expected.date = when;
    expected.accuracy = 95;
    expected.speedCPM = 212;
    expected.mistypesCount = 2;
    expected.mistypes = "ê^ab";
    expected.difficulty = 6;
    expected.isDiffAuto = true;
    expected.language = Language::fr;
    expected.layoutIdx = 4;
    expected.isDeleteOn = false;
    expected.isNumbersOn = true;
    expected.isCapitalsOn = true;
    expected.isPunctuationOn = true;
    expected.isExpert = true;
    EXPECT_EQ(stored, expected);

    LogCapture quiet;
    LessonStats again(file, 4);
    ASSERT_EQ(again.lessonsList().size(), 1u);
    EXPECT_EQ(*again.lessonsList()[0], expected);

    if (std::system("command -v sqlite3 >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "no sqlite3 command-line tool";
    }
    EXPECT_EQ(sqlite3Output(file, "SELECT * FROM sessions"),
              "1|2025-11-30 23:59:58|33.5|212|2|5|6|1|95|0|1|1|1|ê^ab|4\n");
    EXPECT_EQ(sqlite3Output(file,
                            "SELECT typeof(time), typeof(speed), typeof(hasDelete), "
                            "typeof(mistakesChars) FROM sessions"),
              "real|integer|integer|text\n");
}

}  // namespace
}  // namespace wv
