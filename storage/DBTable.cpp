#include "storage/DBTable.h"

#include "platform/foundation/Log.h"

namespace wv {

DBTable::~DBTable() { Log::print("DBTable *" + name_ + "* deinit"); }

std::optional<int64_t> DBTable::randomId(std::string_view condition) {
    auto rs = db_->select(name_, condition, 1, "random()");
    if (!rs || !rs->next()) return std::nullopt;
    return rs->longLongIntForColumn("id");
}

std::optional<std::string> DBTable::stringForId(int64_t rowId, std::string_view column) {
    auto rs = db_->select(name_, "id = " + std::to_string(rowId), 1, "");
    if (!rs || !rs->next()) return std::nullopt;
    return rs->stringForColumn(column);
}

}  // namespace wv
