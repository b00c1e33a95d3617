#include "cloud/PendingRecordNames.h"

namespace wv {

PendingRecordNames::PendingRecordNames(DB& db) : DBTable(db, kName) {
    db.connection().executeUpdate(
        "CREATE TABLE IF NOT EXISTS cloud_pending(local_id integer primary key, CKRecordID TEXT)");
    db.logError();
    db.connection().executeUpdate(
        "CREATE INDEX IF NOT EXISTS cloud_pending_record_name ON cloud_pending(CKRecordID)");
    db.logError();
}

std::optional<std::string> PendingRecordNames::nameFor(int64_t localId) {
    auto rs = db().connection().executeQuery(
        "SELECT CKRecordID FROM cloud_pending WHERE local_id = ?", {std::to_string(localId)});
    if (!rs || !rs->next()) return std::nullopt;
    return rs->stringForColumnIndex(0);
}

std::unordered_map<int64_t, std::string> PendingRecordNames::all() {
    std::unordered_map<int64_t, std::string> names;
    auto rs = db().connection().executeQuery("SELECT local_id, CKRecordID FROM cloud_pending");
    while (rs && rs->next())
        names[rs->longLongIntForColumnIndex(0)] = rs->stringForColumnIndex(1).value_or("");
    return names;
}

std::optional<int64_t> PendingRecordNames::localIdFor(const std::string& recordName) {
    auto rs = db().connection().executeQuery(
        "SELECT local_id FROM cloud_pending WHERE CKRecordID = ? LIMIT 1", {recordName});
    if (!rs || !rs->next()) return std::nullopt;
    return rs->longLongIntForColumnIndex(0);
}

bool PendingRecordNames::add(int64_t localId, const std::string& recordName) {
    const bool ok = db().connection().executeUpdate(
        "INSERT OR REPLACE INTO cloud_pending (local_id, CKRecordID) values (?, ?)",
        std::vector<sqlite::Value>{localId, recordName});
    db().logError();
    return ok;
}

void PendingRecordNames::remove(const std::string& recordName) {
    db().connection().executeUpdate("DELETE FROM cloud_pending WHERE CKRecordID = ?",
                                    std::vector<sqlite::Value>{recordName});
    db().logError();
}

void PendingRecordNames::removeLocalIds(const std::vector<int64_t>& localIds) {
    if (localIds.empty()) return;
    // Whole numbers only, so they can stand in the statement itself: one statement for a
    // slice of confirmations instead of one each.
    std::string list;
    for (int64_t id : localIds) list += (list.empty() ? "" : ",") + std::to_string(id);
    db().connection().executeUpdate("DELETE FROM cloud_pending WHERE local_id IN (" + list + ")");
    db().logError();
}

void PendingRecordNames::removeAll() {
    db().connection().executeUpdate("DELETE FROM cloud_pending");
    db().logError();
}

}  // namespace wv
