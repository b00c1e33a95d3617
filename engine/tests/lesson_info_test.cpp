#include <gtest/gtest.h>

#include "engine/LessonAverageInfo.h"
#include "engine/LessonInfo.h"
#include "platform/foundation/Log.h"

namespace wv {
namespace {

TEST(LessonInfo, SplitMistypesGivesExpectedAndTypedCharacters) {
    struct Case {
        const char* mistypes;
        const char* expected;
        const char* typed;
    } cases[] = {
        {"ab", "a", "b"},
        {"abcd", "ac", "bd"},
        {"", "", ""},
        {"ëe ∙жк", "ë ж", "e∙к"},  // characters, not bytes
    };
    for (const auto& c : cases) {
        LessonInfo lesson;
        lesson.mistypes = c.mistypes;
        LogCapture log;
        auto [expected, typed] = lesson.splitMistypes();
        EXPECT_EQ(expected, c.expected) << c.mistypes;
        EXPECT_EQ(typed, c.typed) << c.mistypes;
        EXPECT_TRUE(log.lines().empty());
    }
}

TEST(LessonInfo, AnOddTypoRecordIsReportedAndGivesNoTypos) {
    LessonInfo lesson;
    lesson.mistypes = "abc";
    LogCapture log;
    auto [expected, typed] = lesson.splitMistypes();
    EXPECT_EQ(expected, "");
    EXPECT_EQ(typed, "");
    EXPECT_EQ(log.lines(), std::vector<std::string>{"ACHTUNG parsing mistypes abc"});
}

TEST(LessonAverageInfo, BarValueScalesSpeedAndMarksPractisedGroups) {
    struct Case {
        int speed;
        bool active;
        float bar;
    } cases[] = {
        {0, true, 0.5f},    {0, false, 0.0f},  {150, true, 1.5f}, {450, true, 3.0f},
        {300, false, 3.0f}, {100, true, 1.0f}, {1, true, 0.01f},
    };
    for (const auto& c : cases) {
        LessonAverageInfo info{3, c.speed, c.active, nullptr};
        EXPECT_FLOAT_EQ(info.barValue(), c.bar) << c.speed << " " << c.active;
    }
}

}  // namespace
}  // namespace wv
