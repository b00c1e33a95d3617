#include <gtest/gtest.h>

#include "cloud/iCloudSyncDBTable.h"
#include "platform/foundation/Folders.h"

namespace wv {
namespace {

std::unique_ptr<DB> freshDB(const char* name) {
    auto dir = Folders::dataHome() / "sync-table";
    std::filesystem::create_directories(dir);
    std::filesystem::remove(dir / name);
    return std::make_unique<DB>(dir / name);
}

std::vector<std::string> schema(DB& db) {
    std::vector<std::string> out;
    auto rs = db.connection().executeQuery(
        "SELECT sql FROM sqlite_master WHERE tbl_name = 'cloud_sync' ORDER BY name");
    while (rs && rs->next()) out.push_back(rs->stringForColumnIndex(0).value_or(""));
    return out;
}

TEST(iCloudSyncDBTable, TheTableKeepsItsStatementAndGainsTwoIndexes) {
    auto db = freshDB("schema.db");
    iCloudSyncDBTable table(*db);
    iCloudSyncDBTable second(*db);  // every owner makes it; later ones change nothing
    EXPECT_EQ(schema(*db),
              (std::vector<std::string>{
                  "CREATE TABLE cloud_sync(id integer primary key autoincrement,local_id "
                  "integer,CKRecordID TEXT,CKRecordID2 TEXT)",
                  "CREATE INDEX cloud_sync_local_id ON cloud_sync(local_id)",
                  "CREATE INDEX cloud_sync_record_name ON cloud_sync(CKRecordID)",
              }));
    EXPECT_EQ(db->count("cloud_sync"), 0u);
}

TEST(iCloudSyncDBTable, ANameMatchesOnlyItselfWhateverItSpells) {
    auto db = freshDB("names.db");
    iCloudSyncDBTable table(*db);
    EXPECT_FALSE(table.hasRecordName("A"));
    ASSERT_TRUE(table.insert(7, "A-1"));
    ASSERT_TRUE(table.insert(8, "say \"hi\""));
    ASSERT_TRUE(table.insert(9, "it's"));
    struct Case {
        std::string name;
        bool found;
    };
    const std::vector<Case> cases = {
        {"A-1", true},       {"a-1", false},          {"say \"hi\"", true},
        {"say ", false},     {"it's", true},          {"CKRecordID", false},
        {"local_id", false}, {"\" OR 1=1 --", false}, {"' OR '1'='1", false},
        {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(table.hasRecordName(c.name), c.found) << c.name;
    EXPECT_TRUE(table.hasLocalId(8));
    EXPECT_FALSE(table.hasLocalId(10));
    EXPECT_EQ(table.linkedLocalIds(), (std::unordered_set<int64_t>{7, 8, 9}));
    EXPECT_EQ(table.linkedRecordNames(),
              (std::unordered_set<std::string>{"A-1", "say \"hi\"", "it's"}));
    auto rs =
        db->connection().executeQuery("SELECT count(*) FROM cloud_sync WHERE CKRecordID2 IS NULL");
    ASSERT_TRUE(rs && rs->next());
    EXPECT_EQ(rs->longLongIntForColumnIndex(0), 3);
    table.removeAll();
    EXPECT_FALSE(table.hasRecordName("A-1"));
}

// A confirmation that arrives after a fetch linked the same record adds no second row.
TEST(iCloudSyncDBTable, ALinkedNameIsNotLinkedAgain) {
    auto db = freshDB("unless.db");
    iCloudSyncDBTable table(*db);
    EXPECT_TRUE(table.insertUnlessLinked(3, "R"));
    EXPECT_TRUE(table.insertUnlessLinked(4, "R"));
    EXPECT_TRUE(table.insertUnlessLinked(4, "S"));
    EXPECT_EQ(db->count("cloud_sync"), 2u);
    EXPECT_EQ(table.linkedLocalIds(), (std::unordered_set<int64_t>{3, 4}));
}

}  // namespace
}  // namespace wv
