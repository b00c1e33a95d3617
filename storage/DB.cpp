#include "storage/DB.h"

#include <algorithm>
#include <cctype>

#include "platform/foundation/Log.h"

namespace wv {

namespace {

std::string lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

}  // namespace

DB::DB(std::filesystem::path url, Access access) : url_(std::move(url)), db_(url_) {
    const auto mode = access == Access::ReadOnly ? sqlite::Database::Mode::ReadOnly
                                                 : sqlite::Database::Mode::ReadWriteCreate;
    if (db_.open(mode)) {
        Log::print("DB opened: " + url_.filename().string());
    } else {
        Log::print("can't create db at path : " + url_.string());
    }
}

DB::~DB() { Log::print("DB *" + url_.filename().string() + "* deinit"); }

void DB::createTable(std::string_view name, std::string_view columns) {
    std::string sql = "CREATE TABLE if not exists ";
    sql += name;
    sql += "(id integer primary key autoincrement,";
    sql += columns;
    sql += ");";
    db_.executeUpdate(sql);
    logError();
}

bool DB::tableExists(std::string_view name) {
    auto rs = db_.executeQuery(
        "select [sql] from sqlite_master where [type] = 'table' and lower(name) = ?",
        {std::string(name)});
    return rs && rs->next();
}

bool DB::columnExists(std::string_view column, std::string_view table) {
    std::string sql = "pragma table_info('";
    sql += table;
    sql += "')";
    auto rs = db_.executeQuery(sql);
    if (!rs) return false;
    const std::string wanted = lowered(column);
    bool found = false;
    while (rs->next()) {
        auto name = rs->stringForColumn("name");
        if (name && lowered(*name) == wanted) found = true;
    }
    return found;
}

void DB::addColumns(std::string_view table, const std::vector<std::string>& definitions) {
    for (const auto& definition : definitions) {
        std::string sql = "ALTER TABLE ";
        sql += table;
        sql += " ADD COLUMN ";
        sql += definition;
        db_.executeUpdate(sql);
        if (db_.lastErrorCode() != 0) logError();
    }
}

std::optional<int64_t> DB::insert(const RowDictionary& row, std::string_view table) {
    std::string columns, parameters;
    for (const auto& [key, value] : row) {
        columns += columns.empty() ? "" : ", ";
        columns += key;
        parameters += parameters.empty() ? ":" : ", :";
        parameters += key;
    }
    std::string sql = "INSERT INTO ";
    sql += table;
    sql += " (" + columns + ") values (" + parameters + ")";
    const bool ok = db_.executeUpdate(sql, row);
    logError();
    if (!ok) return std::nullopt;
    return db_.lastInsertRowId();
}

std::unique_ptr<sqlite::ResultSet> DB::select(std::string_view table, std::string_view condition,
                                              int64_t limit, std::string_view order) {
    std::string sql = "SELECT * FROM ";
    sql += table;
    if (!condition.empty()) {
        sql += " WHERE ";
        sql += condition;
    }
    if (!order.empty()) {
        sql += " ORDER BY ";
        sql += order;
    }
    if (limit > 0) sql += " LIMIT " + std::to_string(limit);
    return db_.executeQuery(sql);
}

uint64_t DB::count(std::string_view table) {
    std::string sql = "SELECT Count(*) FROM ";
    sql += table;
    auto rs = db_.executeQuery(sql);
    if (!rs || !rs->next()) return 0;
    return rs->unsignedLongLongIntForColumnIndex(0);
}

void DB::logError() {
    const int code = db_.lastErrorCode();
    if (code == 0) return;
    Log::system("ERROR: " + std::to_string(code) + " : " + db_.lastErrorMessage());
}

}  // namespace wv
