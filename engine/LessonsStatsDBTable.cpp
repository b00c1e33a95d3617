#include "engine/LessonsStatsDBTable.h"

#include <string>

#include "engine/StatsTimestamp.h"
#include "languages/LangData.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"

namespace wv {

namespace {

std::string bracketed(const std::vector<std::string>& definitions) {
    std::string out = "[";
    for (size_t i = 0; i < definitions.size(); ++i) {
        if (i > 0) out += ", ";
        out += "\"" + definitions[i] + "\"";
    }
    return out + "]";
}

// Adds the definitions unless the table already has `probe`; each step stands alone so a
// table from any older version ends with every column.
void addColumnsUnlessPresent(DB& db, const std::string& table, std::string_view probe,
                             const std::vector<std::string>& definitions) {
    if (db.columnExists(probe, table)) return;
    db.addColumns(table, definitions);
    Log::print("Statistics: adding extra columns : " + bracketed(definitions));
}

// Where each column of "sessions" sits in a result set, looked up once per query: a lookup
// by name walks every column name, which a large load cannot afford per value.
struct SessionColumns {
    explicit SessionColumns(const sqlite::ResultSet& rs)
        : id(rs.columnIndex("id")),
          timestamp(rs.columnIndex("timestamp")),
          speed(rs.columnIndex("speed")),
          mistakes(rs.columnIndex("mistakes")),
          langId(rs.columnIndex("langId")),
          diffLvl(rs.columnIndex("diffLvl")),
          diffAuto(rs.columnIndex("diffAuto")),
          accuracy(rs.columnIndex("accuracy")),
          hasDelete(rs.columnIndex("hasDelete")),
          hasNumbers(rs.columnIndex("hasNumbers")),
          hasCapitals(rs.columnIndex("hasCapitals")),
          hasPunctuation(rs.columnIndex("hasPunctuation")),
          mistakesChars(rs.columnIndex("mistakesChars")),
          layoutIdx(rs.columnIndex("layoutIdx")) {}
    // "time" is the one real column; it is read by name.
    int id, timestamp, speed, mistakes, langId, diffLvl, diffAuto, accuracy, hasDelete, hasNumbers,
        hasCapitals, hasPunctuation, mistakesChars, layoutIdx;
};

// Integer columns are stored as 32-bit values; a NULL (a column added by an upgrade) reads 0.
int integer(const sqlite::ResultSet& row, int index) {
    return int(row.longLongIntForColumnIndex(index));
}

std::optional<LessonInfo> readLesson(const sqlite::ResultSet& row, const SessionColumns& c,
                                     const StatsTimestampReader& timestamps) {
    auto timestamp = row.stringForColumnIndex(c.timestamp);
    if (!timestamp) return std::nullopt;
    auto date = timestamps.read(*timestamp);
    if (!date) return std::nullopt;

    LessonInfo lesson;
    lesson.id = row.longLongIntForColumnIndex(c.id);
    lesson.localTime = std::move(*timestamp);
    lesson.time = row.doubleForColumn("time");
    lesson.date = *date;
    lesson.accuracy = integer(row, c.accuracy);
    lesson.speedCPM = integer(row, c.speed);
    lesson.mistypesCount = integer(row, c.mistakes);
    // Rows from before the column existed hold NULL: no typo record, not "[]".
    lesson.mistypes = row.stringForColumnIndex(c.mistakesChars).value_or("");
    lesson.difficulty = integer(row, c.diffLvl);
    lesson.isDiffAuto = integer(row, c.diffAuto) != 0;
    lesson.language = languageFromRawValue(integer(row, c.langId)).value_or(Language::en);
    // A NULL layout (rows from before the column) is the first layout.
    lesson.layoutIdx = row.stringForColumnIndex(c.layoutIdx) ? integer(row, c.layoutIdx) : 0;
    lesson.isDeleteOn = integer(row, c.hasDelete) != 0;
    lesson.isNumbersOn = integer(row, c.hasNumbers) != 0;
    lesson.isCapitalsOn = integer(row, c.hasCapitals) != 0;
    lesson.isPunctuationOn = integer(row, c.hasPunctuation) != 0;
    lesson.isExpert = lesson.difficulty == 6;
    return lesson;
}

}  // namespace

void LessonsStatsDBTable::createOrUpgrade(int version) {
    if (!db().tableExists(name())) {
        Log::print("Statistics: creating db");
        create(version);
    } else {
        upgrade();
    }
}

void LessonsStatsDBTable::create(int version) {
    std::string columns =
        "timestamp datetime not null,time double not null,speed int not null,mistakes int not "
        "null,langId int not null,diffLvl int not null,diffAuto int not null";
    if (version >= 2) {
        columns +=
            ", accuracy int not null,hasDelete int not null,hasNumbers int not null,hasCapitals "
            "int not null,hasPunctuation int not null";
    }
    if (version >= 3) columns += ", mistakesChars TEXT";
    if (version >= 4) columns += ", layoutIdx int";
    db().createTable(name(), columns);
}

void LessonsStatsDBTable::upgrade() {
    addColumnsUnlessPresent(db(), name(), "accuracy",
                            {"accuracy int;", "hasDelete int;", "hasNumbers int;",
                             "hasCapitals int;", "hasPunctuation int;"});
    addColumnsUnlessPresent(db(), name(), "mistakesChars", {"mistakesChars TEXT;"});
    addColumnsUnlessPresent(db(), name(), "layoutIdx", {"layoutIdx INT;"});
}

RowDictionary LessonsStatsDBTable::rowDictionary(double time, int speed,
                                                 const std::string& mistakesChars, int accuracy,
                                                 const LangData& langData, Date now) {
    return {
        {"timestamp", toString(now, kStatsDateFormat)},
        {"time", time},
        {"speed", int64_t(speed)},
        {"mistakes", int64_t(text::characterCount(mistakesChars) / 2)},
        {"mistakesChars", mistakesChars},
        {"langId", int64_t(rawValue(langData.type()))},
        {"diffLvl", langData.difficulty()},
        {"diffAuto", int64_t(langData.difficultyAuto() ? 1 : 0)},
        {"accuracy", int64_t(accuracy)},
        {"hasDelete", false},
        {"hasNumbers", int64_t(langData.numbersOn() ? 1 : 0)},
        {"hasCapitals", int64_t(langData.capitalsOn() ? 1 : 0)},
        {"hasPunctuation", int64_t(langData.punctuationOn() ? 1 : 0)},
        {"layoutIdx", int64_t(langData.keys().currentLayoutIndex())},
    };
}

std::vector<LessonInfoPtr> LessonsStatsDBTable::loadAll() {
    std::vector<LessonInfoPtr> lessons;
    auto rows = db().select(name(), "", 0, "");
    if (!rows) return lessons;
    const SessionColumns columns(*rows);
    const StatsTimestampReader timestamps;
    while (rows->next()) {
        if (auto lesson = readLesson(*rows, columns, timestamps)) {
            lessons.push_back(std::make_shared<const LessonInfo>(std::move(*lesson)));
        }
    }
    return lessons;
}

LessonInfoPtr LessonsStatsDBTable::loadLesson(int64_t rowId) {
    auto rows = db().select(name(), "id = " + std::to_string(rowId), 0, "");
    if (!rows || !rows->next()) return nullptr;
    auto lesson = lessonFromRow(rows.get());
    return lesson ? std::make_shared<const LessonInfo>(std::move(*lesson)) : nullptr;
}

std::optional<LessonInfo> LessonsStatsDBTable::lessonFromRow(const sqlite::ResultSet* row) {
    if (!row) return std::nullopt;
    return readLesson(*row, SessionColumns(*row), StatsTimestampReader());
}

}  // namespace wv
