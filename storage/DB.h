#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sqlite/Database.h"
#include "platform/sqlite/Transaction.h"

namespace wv {

// A row to insert: column names and values, in the order they are written.
using RowDictionary = sqlite::NamedValues;

// Synchronous access to one SQLite file. Every statement is built from fixed pieces and the
// caller's texts, prepared afresh and committed by itself. Failures are printed, never thrown.
// Calls on one DB must not overlap.
class DB {
public:
    enum class Access { ReadWrite, ReadOnly };

    // ReadWrite creates an empty database when the file is missing; ReadOnly (bundle word
    // databases) never creates a file. The object is usable either way: after a failed open
    // its queries give nothing.
    explicit DB(std::filesystem::path url, Access access = Access::ReadWrite);
    virtual ~DB();
    DB(const DB&) = delete;
    DB& operator=(const DB&) = delete;

    bool isOpen() const { return db_.isOpen(); }
    const std::filesystem::path& url() const { return url_; }

    void createTable(std::string_view name, std::string_view columns);
    bool tableExists(std::string_view name);
    bool columnExists(std::string_view column, std::string_view table);
    void addColumns(std::string_view table, const std::vector<std::string>& definitions);
    // The new row's id, or none when the insert failed (the failure is logged).
    std::optional<int64_t> insert(const RowDictionary& row, std::string_view table);
    std::unique_ptr<sqlite::ResultSet> select(std::string_view table, std::string_view condition,
                                              int64_t limit, std::string_view order);
    uint64_t count(std::string_view table);
    // Groups the statements that follow until the guard commits; dropped uncommitted, it
    // rolls them back. Check isActive(): a failed begin (a closed file) groups nothing.
    sqlite::Transaction transaction() { return sqlite::Transaction(db_); }
    virtual void logError();

    // The wrapped connection, for the statement trace in tests.
    sqlite::Database& connection() { return db_; }

private:
    std::filesystem::path url_;
    sqlite::Database db_;
};

}  // namespace wv
