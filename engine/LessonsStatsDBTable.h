#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/LessonInfo.h"
#include "storage/DBTable.h"

namespace wv {

class LangData;

// The "sessions" table of lesson records: created at a schema version, or brought up to the
// version-4 columns one step at a time, and read back as LessonInfo.
class LessonsStatsDBTable : public DBTable {
  public:
    using DBTable::DBTable;

    // Creates the table at `version`, or upgrades an existing one (whatever `version` says).
    virtual void createOrUpgrade(int version);
    virtual void create(int version);
    virtual void upgrade();

    // Every row in table order; rows whose timestamp does not parse are left out.
    virtual std::vector<LessonInfoPtr> loadAll();
    // The row with that id; null when there is none or it does not parse.
    virtual LessonInfoPtr loadLesson(int64_t rowId);

    // The row of a finished line typed in `langData`, stamped with `now` in the local zone.
    // The typo count is the typo record's characters over two.
    static RowDictionary rowDictionary(double time, int speed, const std::string& mistakesChars,
                                       int accuracy, const LangData& langData,
                                       Date now = std::chrono::system_clock::now());

    // The record of the row `row` stands on; none for no row or an unreadable timestamp.
    static std::optional<LessonInfo> lessonFromRow(const sqlite::ResultSet* row);
};

}  // namespace wv
