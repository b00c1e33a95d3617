#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "storage/DB.h"

namespace wv {

// One named table in a DB. The table does not own the DB: whoever opened it keeps it alive
// for as long as the table is used.
class DBTable {
public:
    DBTable(DB& db, std::string name) : db_(&db), name_(std::move(name)) {}
    virtual ~DBTable();
    DBTable(const DBTable&) = delete;
    DBTable& operator=(const DBTable&) = delete;

    DB& db() const { return *db_; }
    const std::string& name() const { return name_; }

    // The id of a random row meeting the condition (empty: any row).
    std::optional<int64_t> randomId(std::string_view condition);
    // One text column of the row with that id; none for a missing row or NULL.
    std::optional<std::string> stringForId(int64_t rowId, std::string_view column);

private:
    DB* db_;
    std::string name_;
};

// A table kind with nothing of its own; kept so the table family stays complete.
class DBTableTemp : public DBTable {
public:
    using DBTable::DBTable;
};

}  // namespace wv
