#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>

#include "storage/DBTable.h"

namespace wv {

// "cloud_sync" in the statistics database: which "sessions" row (local_id) is linked to which
// cloud record (CKRecordID, the record name). A row exists only for a record the server holds.
// Made on the statistics store's DB and used on the main queue only, like that DB.
class iCloudSyncDBTable : public DBTable {
  public:
    static constexpr const char* kName = "cloud_sync";
    static constexpr const char* kColumns = "local_id integer,CKRecordID TEXT,CKRecordID2 TEXT";

    // Creates the table, and its two lookup indexes, when missing.
    explicit iCloudSyncDBTable(DB& db);

    // The new row's id; none when the insert failed (it is printed).
    std::optional<int64_t> insert(int64_t localId, const std::string& recordName);
    // Links the pair unless a row holds the name already; false only when the statement
    // failed (it is printed).
    bool insertUnlessLinked(int64_t localId, const std::string& recordName);
    // The name is bound, never spliced into the statement: any text matches only itself.
    bool hasRecordName(const std::string& recordName);
    bool hasLocalId(int64_t localId);
    // Every linked "sessions" id, read in one statement.
    std::unordered_set<int64_t> linkedLocalIds();
    // Every linked record name, read in one statement.
    std::unordered_set<std::string> linkedRecordNames();
    // Forgets every link (the rows belong to another account).
    void removeAll();
};

}  // namespace wv
