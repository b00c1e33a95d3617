#include "engine/LessonsStatsDBTable.h"

#include <string>

#include "platform/foundation/Log.h"

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

std::vector<LessonInfoPtr> LessonsStatsDBTable::loadAll() {
    std::vector<LessonInfoPtr> lessons;
    auto rows = db().select(name(), "", 0, "");
    if (!rows) return lessons;
    // One formatter for the whole scan: making one per row would dominate a large load.
    const DateFormatter formatter = makeStatsDateFormatter();
    while (rows->next()) {
        if (auto lesson = lessonFromRow(*rows, formatter)) {
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
    return lessonFromRow(*row, makeStatsDateFormatter());
}

std::optional<LessonInfo> LessonsStatsDBTable::lessonFromRow(const sqlite::ResultSet& row,
                                                             const DateFormatter& formatter) {
    auto timestamp = row.stringForColumn("timestamp");
    if (!timestamp) return std::nullopt;
    auto date = formatter.date(*timestamp);
    if (!date) return std::nullopt;

    LessonInfo lesson;
    lesson.id = row.longLongIntForColumn("id");
    lesson.localTime = std::move(*timestamp);
    lesson.time = row.doubleForColumn("time");
    lesson.date = *date;
    lesson.accuracy = row.intForColumn("accuracy");
    lesson.speedCPM = row.intForColumn("speed");
    lesson.mistypesCount = row.intForColumn("mistakes");
    // Rows from before the column existed hold NULL: no typo record, not "[]".
    lesson.mistypes = row.stringForColumn("mistakesChars").value_or("");
    lesson.difficulty = row.intForColumn("diffLvl");
    lesson.isDiffAuto = row.intForColumn("diffAuto") != 0;
    lesson.language = languageFromRawValue(row.intForColumn("langId")).value_or(Language::en);
    lesson.layoutIdx = row.columnIsNull("layoutIdx") ? 0 : row.intForColumn("layoutIdx");
    lesson.isDeleteOn = row.intForColumn("hasDelete") != 0;
    lesson.isNumbersOn = row.intForColumn("hasNumbers") != 0;
    lesson.isCapitalsOn = row.intForColumn("hasCapitals") != 0;
    lesson.isPunctuationOn = row.intForColumn("hasPunctuation") != 0;
    lesson.isExpert = lesson.difficulty == 6;
    return lesson;
}

}  // namespace wv
