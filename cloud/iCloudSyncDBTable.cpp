#include "cloud/iCloudSyncDBTable.h"

namespace wv {

iCloudSyncDBTable::iCloudSyncDBTable(DB& db) : DBTable(db, kName) {
    db.createTable(kName, kColumns);
    // A start with many linked records, and every fetched record, look rows up by these.
    db.connection().executeUpdate(
        "CREATE INDEX IF NOT EXISTS cloud_sync_local_id ON cloud_sync(local_id)");
    db.logError();
    db.connection().executeUpdate(
        "CREATE INDEX IF NOT EXISTS cloud_sync_record_name ON cloud_sync(CKRecordID)");
    db.logError();
}

std::optional<int64_t> iCloudSyncDBTable::insert(int64_t localId, const std::string& recordName) {
    return db().insert({{"local_id", localId}, {"CKRecordID", recordName}}, name());
}

bool iCloudSyncDBTable::insertUnlessLinked(int64_t localId, const std::string& recordName) {
    const bool ok = db().connection().executeUpdate(
        "INSERT INTO cloud_sync (local_id, CKRecordID) SELECT ?, ? WHERE NOT EXISTS "
        "(SELECT 1 FROM cloud_sync WHERE CKRecordID = ?)",
        std::vector<sqlite::Value>{localId, recordName, recordName});
    db().logError();
    return ok;
}

bool iCloudSyncDBTable::hasRecordName(const std::string& recordName) {
    auto rs = db().connection().executeQuery(
        "SELECT id FROM cloud_sync WHERE CKRecordID = ? LIMIT 1", {recordName});
    return rs && rs->next();
}

bool iCloudSyncDBTable::hasLocalId(int64_t localId) {
    auto rs = db().connection().executeQuery("SELECT id FROM cloud_sync WHERE local_id = ? LIMIT 1",
                                             {std::to_string(localId)});
    return rs && rs->next();
}

std::unordered_set<int64_t> iCloudSyncDBTable::linkedLocalIds() {
    std::unordered_set<int64_t> ids;
    auto rs = db().connection().executeQuery("SELECT local_id FROM cloud_sync");
    while (rs && rs->next()) ids.insert(rs->longLongIntForColumnIndex(0));
    return ids;
}

std::unordered_set<std::string> iCloudSyncDBTable::linkedRecordNames() {
    std::unordered_set<std::string> names;
    auto rs = db().connection().executeQuery("SELECT CKRecordID FROM cloud_sync");
    while (rs && rs->next())
        if (auto name = rs->stringForColumnIndex(0)) names.insert(*name);
    return names;
}

void iCloudSyncDBTable::removeAll() {
    db().connection().executeUpdate("DELETE FROM cloud_sync");
    db().logError();
}

}  // namespace wv
