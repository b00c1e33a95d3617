#include <gtest/gtest.h>

#include "cloud/LessonRecord.h"

namespace wv {
namespace {

LessonInfo sample() {
    LessonInfo lesson;
    lesson.id = 41;
    lesson.localTime = "2026-05-06 07:08:09";
    lesson.time = 12.75;
    lesson.accuracy = 96;
    lesson.speedCPM = 233;
    lesson.mistypesCount = 2;
    lesson.mistypes = "aséb";
    lesson.difficulty = 4;
    lesson.isDiffAuto = true;
    lesson.language = Language::pr;
    lesson.layoutIdx = 2;
    lesson.isDeleteOn = false;
    lesson.isNumbersOn = true;
    lesson.isCapitalsOn = false;
    lesson.isPunctuationOn = true;
    return lesson;
}

TEST(LessonRecord, FifteenFieldsInOrderWithTheirKinds) {
    const ck::Record record = lessonRecord(sample(), "WVLessonStats");
    EXPECT_EQ(record.recordType(), "WVLessonStats");
    const std::vector<std::pair<std::string, ck::FieldValue>> expected = {
        {"localID", int64_t(41)},
        {"localTime", std::string("2026-05-06 07:08:09")},
        {"time", 12.75},
        {"speed", int64_t(233)},
        {"mistakes", int64_t(2)},
        {"langId", int64_t(9)},
        {"diffLvl", int64_t(4)},
        {"diffAuto", int64_t(1)},
        {"accuracy", int64_t(96)},
        {"hasDelete", int64_t(0)},
        {"hasNumbers", int64_t(1)},
        {"hasCapitals", int64_t(0)},
        {"hasPunctuation", int64_t(1)},
        {"mistakesChars", std::string("aséb")},
        {"layoutIdx", int64_t(2)},
    };
    EXPECT_EQ(record.fields(), expected);
}

TEST(LessonRecord, LanguagesAndLayoutsAsTheirNumbers) {
    struct Case {
        Language language;
        std::optional<int> layout;
        int64_t langId;
        int64_t layoutIdx;
    };
    for (const Case& c : {Case{Language::ua, std::nullopt, 1, 0}, Case{Language::en, 0, 0, 0},
                          Case{Language::tr, 1, 7, 1}, Case{Language::pr, 3, 9, 3}}) {
        LessonInfo lesson = sample();
        lesson.language = c.language;
        lesson.layoutIdx = c.layout;
        const auto record = lessonRecord(lesson, "WVLessonStats");
        EXPECT_EQ(record.int64ForKey("langId"), c.langId);
        EXPECT_EQ(record.int64ForKey("layoutIdx"), c.layoutIdx);
    }
}

TEST(LessonRecord, EachConversionIsANewRecordUnlessANameIsGiven) {
    const auto first = lessonRecord(sample(), "WVLessonStats");
    const auto second = lessonRecord(sample(), "WVLessonStats");
    EXPECT_NE(first.recordID(), second.recordID());
    EXPECT_EQ(first.fields(), second.fields());
    const auto repeated = lessonRecord(sample(), "WVLessonStats", first.recordID().recordName());
    EXPECT_EQ(repeated.recordID(), first.recordID());
    EXPECT_FALSE(repeated.recordChangeTag());
}

}  // namespace
}  // namespace wv
