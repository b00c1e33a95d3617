#include "cloud/LessonRecord.h"

namespace wv {

ck::Record lessonRecord(const LessonInfo& lesson, const std::string& recordType,
                        const std::optional<std::string>& recordName) {
    ck::Record record =
        recordName ? ck::Record(recordType, ck::RecordID(*recordName)) : ck::Record(recordType);
    auto flag = [](bool on) { return int64_t(on ? 1 : 0); };
    record.setObject("localID", int64_t(lesson.id));
    record.setObject("localTime", lesson.localTime);
    record.setObject("time", lesson.time);
    record.setObject("speed", int64_t(lesson.speedCPM));
    record.setObject("mistakes", int64_t(lesson.mistypesCount));
    record.setObject("langId", int64_t(rawValue(lesson.language)));
    record.setObject("diffLvl", int64_t(lesson.difficulty));
    record.setObject("diffAuto", flag(lesson.isDiffAuto));
    record.setObject("accuracy", int64_t(lesson.accuracy));
    record.setObject("hasDelete", flag(lesson.isDeleteOn));
    record.setObject("hasNumbers", flag(lesson.isNumbersOn));
    record.setObject("hasCapitals", flag(lesson.isCapitalsOn));
    record.setObject("hasPunctuation", flag(lesson.isPunctuationOn));
    record.setObject("mistakesChars", lesson.mistypes);
    record.setObject("layoutIdx", int64_t(lesson.layoutIdx.value_or(0)));
    return record;
}

}  // namespace wv
