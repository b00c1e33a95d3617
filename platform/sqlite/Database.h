#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace wv::sqlite {

// A value bound to a statement: texts as text, whole numbers as 64-bit integers, reals as
// reals, Booleans as 0 and 1, and NULL.
using Value = std::variant<std::nullptr_t, bool, int64_t, double, std::string>;
// Named parameters (keys without the colon) in the caller's order.
using NamedValues = std::vector<std::pair<std::string, Value>>;

class Database;

// A forward-only cursor over the rows of one query, positioned before the first row.
// Dropping it finalises the statement.
class ResultSet {
public:
    ~ResultSet();
    ResultSet(const ResultSet&) = delete;
    ResultSet& operator=(const ResultSet&) = delete;

    // Steps to the next row: true while there is one, false at the end or on an error.
    bool next();

    int columnCount() const;
    std::string columnName(int index) const;
    // -1 when the query has no such column (names compare without regard to letter case).
    int columnIndex(std::string_view name) const;
    bool columnIsNull(std::string_view name) const;

    std::optional<std::string> stringForColumn(std::string_view name) const;  // none for NULL
    std::optional<std::string> stringForColumnIndex(int index) const;
    int64_t longLongIntForColumn(std::string_view name) const;
    int64_t longLongIntForColumnIndex(int index) const;
    uint64_t unsignedLongLongIntForColumnIndex(int index) const;
    int intForColumn(std::string_view name) const;
    double doubleForColumn(std::string_view name) const;
    bool boolForColumn(std::string_view name) const;

private:
    friend class Database;
    explicit ResultSet(sqlite3_stmt* statement) : statement_(statement) {}
    sqlite3_stmt* statement_;
};

// One connection to one SQLite file. Nothing is cached between calls: each call prepares,
// runs and finalises its own statement, and each statement commits by itself.
class Database {
public:
    enum class Mode { ReadWriteCreate, ReadOnly };

    explicit Database(std::filesystem::path path);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // ReadOnly never creates a file: a missing file fails to open.
    bool open(Mode mode = Mode::ReadWriteCreate);
    bool isOpen() const { return db_ != nullptr; }
    const std::filesystem::path& path() const { return path_; }

    // Runs one statement to completion; positional values bind to the "?" placeholders.
    bool executeUpdate(std::string_view sql, const std::vector<Value>& arguments = {});
    // Runs one statement whose named parameters (":key") take the values under their keys.
    bool executeUpdate(std::string_view sql, const NamedValues& parameters);
    // None when the statement cannot be prepared or the connection is not open.
    std::unique_ptr<ResultSet> executeQuery(std::string_view sql,
                                            const std::vector<std::string>& arguments = {});

    int lastErrorCode() const;  // 0 when the last statement succeeded
    std::string lastErrorMessage() const;
    int64_t lastInsertRowId() const;

    // Sees the text of every statement SQLite starts, as written (parameters unexpanded).
    void setTraceCallback(std::function<void(const std::string&)> callback);

private:
    sqlite3_stmt* prepare(std::string_view sql);
    bool step(sqlite3_stmt* statement);

    std::filesystem::path path_;
    sqlite3* db_ = nullptr;
    // Our own failures (a statement that could not be prepared on a closed connection).
    int closedErrorCode_ = 0;
    std::function<void(const std::string&)> trace_;
};

}  // namespace wv::sqlite
