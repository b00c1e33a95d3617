#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "engine/StatsTimestamp.h"

namespace wv {
namespace {

using namespace std::chrono;

Date utc(int y, int mo, int d, int h, int mi, int s) {
    return sys_days(year(y) / mo / d) + hours(h) + minutes(mi) + seconds(s);
}

// Each test case runs in a process of its own, so the zone is set before anything reads it.
void useZone(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
}

TEST(StatsTimestamp, ReadsWallClockTextInTheLocalZone) {
    useZone("Europe/Berlin");
    StatsTimestampReader reader;
    struct Case {
        const char* text;
        Date instant;
    } cases[] = {
        {"2024-01-15 12:00:00", utc(2024, 1, 15, 11, 0, 0)},
        {"2024-07-01 12:34:56", utc(2024, 7, 1, 10, 34, 56)},
        {"2024-02-29 23:59:59", utc(2024, 2, 29, 22, 59, 59)},
        {"2024-12-31 23:30:00", utc(2024, 12, 31, 22, 30, 0)},
        // Clocks turned back: the earlier of the two occurrences.
        {"2024-10-27 02:30:00", utc(2024, 10, 27, 0, 30, 0)},
        // Clocks turned forward: a time that never occurred is still a date, not a lost row.
        {"2024-03-31 02:30:00", utc(2024, 3, 31, 1, 30, 0)},
        {"2024-03-31 03:00:00", utc(2024, 3, 31, 1, 0, 0)},
    };
    for (const auto& c : cases) {
        auto date = reader.read(c.text);
        ASSERT_TRUE(date) << c.text;
        EXPECT_EQ(*date, c.instant) << c.text;
    }
}

TEST(StatsTimestamp, RejectsWhatIsNoDateOfTheFormat) {
    useZone("Europe/Berlin");
    StatsTimestampReader reader;
    for (const char* text :
         {"", "2023-02-29 10:00:00", "2024-02-30 10:00:00", "2024-13-01 10:00:00",
          "2024-00-10 10:00:00", "2024-01-00 10:00:00", "2024-01-01 24:00:00",
          "2024-01-01 10:60:00", "2024-01-01 10:00:60", "2024-01-01T10:00:00",
          "2024-01-01 10:00:00 ", "yesterday", "2024/01/01 10:00:00"}) {
        EXPECT_FALSE(reader.read(text)) << text;
    }
}

TEST(StatsTimestamp, WhatIsWrittenReadsBackToTheSameInstant) {
    useZone("America/New_York");
    StatsTimestampReader reader;
    const DateFormatter formatter = makeStatsDateFormatter();
    if (formatter.date("2024-01-15 12:00:00") != utc(2024, 1, 15, 17, 0, 0)) {
        GTEST_SKIP() << "the date formatter had fixed its zone before this test set one";
    }
    // Every 97 minutes through a year with two clock changes.
    for (Date t = utc(2024, 1, 1, 0, 0, 0); t < utc(2025, 1, 1, 0, 0, 0); t += minutes(97)) {
        const std::string text = toString(t, kStatsDateFormat);
        auto back = reader.read(text);
        ASSERT_TRUE(back) << text;
        EXPECT_EQ(toString(*back, kStatsDateFormat), text);
        if (*back != t) {
            EXPECT_EQ(t - *back, hours(1)) << text;  // the repeated hour only
        }
        EXPECT_EQ(formatter.date(text).has_value(), true) << text;
    }
}

}  // namespace
}  // namespace wv
