#include "platform/sqlite/Database.h"

#include <sqlite3.h>
#include <string.h>
#include <strings.h>

namespace wv::sqlite {

namespace {

int bindValue(sqlite3_stmt* statement, int index, const Value& value) {
    return std::visit(
        [&](const auto& v) -> int {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::nullptr_t>) {
                return sqlite3_bind_null(statement, index);
            } else if constexpr (std::is_same_v<T, bool>) {
                return sqlite3_bind_int64(statement, index, v ? 1 : 0);
            } else if constexpr (std::is_same_v<T, int64_t>) {
                return sqlite3_bind_int64(statement, index, v);
            } else if constexpr (std::is_same_v<T, double>) {
                return sqlite3_bind_double(statement, index, v);
            } else {
                return sqlite3_bind_text(statement, index, v.data(), int(v.size()),
                                         SQLITE_TRANSIENT);
            }
        },
        value);
}

}  // namespace

// ---- ResultSet ----

ResultSet::~ResultSet() { sqlite3_finalize(statement_); }

bool ResultSet::next() { return sqlite3_step(statement_) == SQLITE_ROW; }

int ResultSet::columnCount() const { return sqlite3_column_count(statement_); }

std::string ResultSet::columnName(int index) const {
    const char* name = sqlite3_column_name(statement_, index);
    return name ? name : "";
}

int ResultSet::columnIndex(std::string_view name) const {
    const int n = columnCount();
    for (int i = 0; i < n; ++i) {
        const char* column = sqlite3_column_name(statement_, i);
        if (column && name.size() == strlen(column) &&
            strncasecmp(column, name.data(), name.size()) == 0) {
            return i;
        }
    }
    return -1;
}

bool ResultSet::columnIsNull(std::string_view name) const {
    const int index = columnIndex(name);
    return index < 0 || sqlite3_column_type(statement_, index) == SQLITE_NULL;
}

std::optional<std::string> ResultSet::stringForColumn(std::string_view name) const {
    return stringForColumnIndex(columnIndex(name));
}

std::optional<std::string> ResultSet::stringForColumnIndex(int index) const {
    if (index < 0 || index >= columnCount()) return std::nullopt;
    if (sqlite3_column_type(statement_, index) == SQLITE_NULL) return std::nullopt;
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, index));
    const int bytes = sqlite3_column_bytes(statement_, index);
    return text ? std::string(text, size_t(bytes)) : std::string();
}

int64_t ResultSet::longLongIntForColumn(std::string_view name) const {
    return longLongIntForColumnIndex(columnIndex(name));
}

int64_t ResultSet::longLongIntForColumnIndex(int index) const {
    if (index < 0 || index >= columnCount()) return 0;
    return sqlite3_column_int64(statement_, index);
}

uint64_t ResultSet::unsignedLongLongIntForColumnIndex(int index) const {
    return uint64_t(longLongIntForColumnIndex(index));
}

int ResultSet::intForColumn(std::string_view name) const {
    return int(longLongIntForColumn(name));
}

double ResultSet::doubleForColumn(std::string_view name) const {
    const int index = columnIndex(name);
    if (index < 0) return 0;
    return sqlite3_column_double(statement_, index);
}

bool ResultSet::boolForColumn(std::string_view name) const {
    return longLongIntForColumn(name) != 0;
}

// ---- Database ----

Database::Database(std::filesystem::path path) : path_(std::move(path)) {}

Database::~Database() {
    if (db_) sqlite3_close_v2(db_);
}

bool Database::open(Mode mode) {
    if (db_) return true;
    const int flags = mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY
                                             : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    sqlite3* handle = nullptr;
    const int rc = sqlite3_open_v2(path_.c_str(), &handle, flags, nullptr);
    if (rc != SQLITE_OK) {
        closedErrorCode_ = rc;
        sqlite3_close_v2(handle);
        return false;
    }
    // A file that is not a database only shows itself on the first read.
    if (sqlite3_exec(handle, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) !=
        SQLITE_OK) {
        closedErrorCode_ = sqlite3_errcode(handle);
        sqlite3_close_v2(handle);
        return false;
    }
    db_ = handle;
    sqlite3_busy_timeout(db_, 2000);
    if (trace_) setTraceCallback(trace_);
    return true;
}

sqlite3_stmt* Database::prepare(std::string_view sql) {
    if (!db_) {
        closedErrorCode_ = SQLITE_MISUSE;
        return nullptr;
    }
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, sql.data(), int(sql.size()), &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return nullptr;
    }
    return statement;
}

bool Database::step(sqlite3_stmt* statement) {
    int rc;
    do {
        rc = sqlite3_step(statement);
    } while (rc == SQLITE_ROW);
    // Finalising keeps the step's error as the connection's last error.
    sqlite3_finalize(statement);
    return rc == SQLITE_DONE;
}

bool Database::executeUpdate(std::string_view sql, const std::vector<Value>& arguments) {
    sqlite3_stmt* statement = prepare(sql);
    if (!statement) return false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (bindValue(statement, int(i) + 1, arguments[i]) != SQLITE_OK) {
            sqlite3_finalize(statement);
            return false;
        }
    }
    return step(statement);
}

bool Database::executeUpdate(std::string_view sql, const NamedValues& parameters) {
    sqlite3_stmt* statement = prepare(sql);
    if (!statement) return false;
    for (const auto& [key, value] : parameters) {
        const std::string name = ":" + key;
        const int index = sqlite3_bind_parameter_index(statement, name.c_str());
        if (index == 0) continue;  // a key the statement does not name binds nothing
        if (bindValue(statement, index, value) != SQLITE_OK) {
            sqlite3_finalize(statement);
            return false;
        }
    }
    return step(statement);
}

std::unique_ptr<ResultSet> Database::executeQuery(std::string_view sql,
                                                  const std::vector<std::string>& arguments) {
    sqlite3_stmt* statement = prepare(sql);
    if (!statement) return nullptr;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (bindValue(statement, int(i) + 1, arguments[i]) != SQLITE_OK) {
            sqlite3_finalize(statement);
            return nullptr;
        }
    }
    return std::unique_ptr<ResultSet>(new ResultSet(statement));
}

int Database::lastErrorCode() const {
    if (!db_) return closedErrorCode_;
    const int code = sqlite3_errcode(db_);
    return code == SQLITE_ROW || code == SQLITE_DONE ? 0 : code;
}

std::string Database::lastErrorMessage() const {
    if (!db_) return sqlite3_errstr(closedErrorCode_);
    return sqlite3_errmsg(db_);
}

int64_t Database::lastInsertRowId() const { return db_ ? sqlite3_last_insert_rowid(db_) : 0; }

void Database::setTraceCallback(std::function<void(const std::string&)> callback) {
    trace_ = std::move(callback);
    if (!db_) return;
    if (!trace_) {
        sqlite3_trace_v2(db_, 0, nullptr, nullptr);
        return;
    }
    sqlite3_trace_v2(
        db_, SQLITE_TRACE_STMT,
        [](unsigned, void* context, void* statement, void*) -> int {
            auto* self = static_cast<Database*>(context);
            const char* sql = sqlite3_sql(static_cast<sqlite3_stmt*>(statement));
            if (self->trace_ && sql) self->trace_(sql);
            return 0;
        },
        this);
}

}  // namespace wv::sqlite
