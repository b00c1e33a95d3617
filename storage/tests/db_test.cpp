#include <gtest/gtest.h>

#include <fstream>

#include "platform/foundation/Folders.h"
#include "platform/foundation/Log.h"
#include "storage/DB.h"

namespace wv {
namespace {

// A database on a fresh file whose executed statements are recorded.
struct TracedDB {
    explicit TracedDB(const char* file = "t.db") {
        auto dir = Folders::dataHome() / "db";
        std::filesystem::create_directories(dir);
        std::filesystem::remove(dir / file);
        db = std::make_unique<DB>(dir / file);
        db->connection().setTraceCallback([this](const std::string& s) { statements.push_back(s); });
    }
    std::string last() const { return statements.empty() ? "" : statements.back(); }
    std::vector<std::string> statements;
    std::unique_ptr<DB> db;
};

TEST(DB, OpeningAndClosingPrintTheFileName) {
    auto path = Folders::dataHome() / "stats-open.db";
    LogCapture log;
    { DB db(path); }
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"DB opened: stats-open.db",
                                                     "DB *stats-open.db* deinit"}));
    EXPECT_TRUE(std::filesystem::exists(path));
}

TEST(DB, StatementTextsAreExactlyTheOnesRun) {
    TracedDB t;
    DB& db = *t.db;
    db.createTable("t", "a text,b integer");
    EXPECT_EQ(t.last(), "CREATE TABLE if not exists t(id integer primary key autoincrement,a text,b integer);");

    struct SelectCase {
        const char* condition;
        int64_t limit;
        const char* order;
        const char* sql;
    } selects[] = {
        {"", 0, "", "SELECT * FROM t"},
        {"id = 5", 1, "", "SELECT * FROM t WHERE id = 5 LIMIT 1"},
        {"", 1, "random()", "SELECT * FROM t ORDER BY random() LIMIT 1"},
        {"b > 1", -3, "id DESC", "SELECT * FROM t WHERE b > 1 ORDER BY id DESC"},
    };
    for (const auto& c : selects) {
        auto rs = db.select("t", c.condition, c.limit, c.order);
        ASSERT_TRUE(rs);
        rs->next();  // SQLite reports a statement when it starts running
        EXPECT_EQ(t.last(), c.sql);
    }

    EXPECT_EQ(db.insert({{"a", std::string("x")}, {"b", int64_t(2)}}, "t"), 1);
    EXPECT_EQ(t.last(), "INSERT INTO t (a, b) values (:a, :b)");

    EXPECT_EQ(db.count("t"), 1u);
    EXPECT_EQ(t.last(), "SELECT Count(*) FROM t");

    EXPECT_TRUE(db.tableExists("t"));
    EXPECT_EQ(t.last(), "select [sql] from sqlite_master where [type] = 'table' and lower(name) = ?");
    db.createTable("Mixed", "v text");
    EXPECT_TRUE(db.tableExists("mixed"));   // only the stored name is lower-cased;
    EXPECT_FALSE(db.tableExists("MIXED"));  // the asked name is bound unchanged
    EXPECT_FALSE(db.tableExists("absent"));

    db.addColumns("t", {"c integer DEFAULT 0", "d text;"});
    ASSERT_GE(t.statements.size(), 2u);
    EXPECT_EQ(t.statements[t.statements.size() - 2], "ALTER TABLE t ADD COLUMN c integer DEFAULT 0");
    EXPECT_EQ(t.last(), "ALTER TABLE t ADD COLUMN d text;");
    EXPECT_TRUE(db.columnExists("D", "t"));
}

TEST(DB, ColumnExistsIgnoresLetterCaseOnBothSides) {
    TracedDB t;
    t.db->createTable("sessions", "layoutIdx integer");
    EXPECT_TRUE(t.db->columnExists("LAYOUTIDX", "sessions"));
    EXPECT_TRUE(t.db->columnExists("layoutidx", "sessions"));
    EXPECT_FALSE(t.db->columnExists("layout", "sessions"));
    EXPECT_EQ(t.last(), "pragma table_info('sessions')");
    EXPECT_FALSE(t.db->columnExists("x", "absent"));
}

TEST(DB, FailedStatementsLogOneErrorLineEach) {
    TracedDB t;
    DB& db = *t.db;
    LogCapture log;
    db.createTable("t", "a text");
    db.createTable("t", "a text");  // exists already: nothing happens, nothing is logged
    EXPECT_TRUE(log.lines(LogChannel::System).empty());

    db.createTable("u", "");
    ASSERT_EQ(log.lines(LogChannel::System).size(), 1u);
    EXPECT_EQ(log.lines(LogChannel::System)[0].rfind("ERROR: 1 : ", 0), 0u);

    log.clear();
    db.addColumns("t", {"a text", "b integer"});  // a exists: one error, b is still added
    EXPECT_EQ(log.lines(LogChannel::System).size(), 1u);
    EXPECT_TRUE(db.columnExists("b", "t"));
}

TEST(DB, AFailedInsertIsAFailureNotThePreviousRowId) {
    TracedDB t;
    DB& db = *t.db;
    db.createTable("t", "a text not null unique");
    ASSERT_EQ(db.insert({{"a", std::string("x")}}, "t"), 1);
    LogCapture log;
    EXPECT_EQ(db.insert({{"a", std::string("x")}}, "t"), std::nullopt);  // unique violated
    EXPECT_EQ(db.insert({}, "t"), std::nullopt);  // "INSERT INTO t () values ()" cannot run
    EXPECT_EQ(log.lines(LogChannel::System).size(), 2u);
    EXPECT_EQ(log.lines(LogChannel::System)[0].rfind("ERROR: 19 : ", 0), 0u);
    EXPECT_EQ(db.count("t"), 1u);
}

TEST(DB, AFileThatCannotBeOpenedGivesEmptyResultsAndNoThrow) {
    auto path = Folders::dataHome() / "no" / "such" / "folder" / "x.db";
    LogCapture log;
    DB db(path);
    EXPECT_TRUE(log.contains("can't create db at path : " + path.string()));
    EXPECT_FALSE(db.select("t", "", 0, ""));
    EXPECT_EQ(db.count("t"), 0u);
    EXPECT_FALSE(db.tableExists("t"));
    EXPECT_FALSE(db.columnExists("a", "t"));
    EXPECT_EQ(db.insert({{"a", int64_t(1)}}, "t"), std::nullopt);
    db.createTable("t", "a text");
    EXPECT_FALSE(std::filesystem::exists(path.parent_path()));
}

TEST(DB, ACorruptFileIsReportedAndNeverOverwritten) {
    auto path = Folders::dataHome() / "corrupt.db";
    const std::string garbage(3000, '#');
    std::ofstream(path, std::ios::binary) << garbage;
    {
        LogCapture log;
        DB db(path);
        EXPECT_TRUE(log.contains("can't create db at path : " + path.string()));
        db.createTable("t", "a text");
        EXPECT_EQ(db.insert({{"a", std::string("x")}}, "t"), std::nullopt);
    }
    std::ifstream in(path, std::ios::binary);
    std::string after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(after, garbage);
}

TEST(DB, ReadOnlyNeverCreatesTheFile) {
    auto path = Folders::dataHome() / "words_0.db";
    LogCapture log;
    DB db(path, DB::Access::ReadOnly);
    EXPECT_FALSE(db.isOpen());
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(db.count("words1"), 0u);
}

TEST(DB, CountOfAMissingOrEmptyTableIsZero) {
    TracedDB t;
    EXPECT_EQ(t.db->count("absent"), 0u);
    t.db->createTable("e", "a text");
    EXPECT_EQ(t.db->count("e"), 0u);
}

// The insert a caller groups with another is undone with it, and the next count reads the
// table as it was.
TEST(DB, AnUncommittedTransactionTakesItsInsertsBack) {
    TracedDB t("transaction.db");
    t.db->createTable("pairs", "a integer");
    {
        auto transaction = t.db->transaction();
        ASSERT_TRUE(transaction.isActive());
        ASSERT_TRUE(t.db->insert({{"a", int64_t(1)}}, "pairs"));
        EXPECT_EQ(t.db->count("pairs"), 1u);
    }
    EXPECT_EQ(t.db->count("pairs"), 0u);
    {
        auto transaction = t.db->transaction();
        ASSERT_TRUE(t.db->insert({{"a", int64_t(2)}}, "pairs"));
        EXPECT_TRUE(transaction.commit());
    }
    EXPECT_EQ(t.db->count("pairs"), 1u);
}

}  // namespace
}  // namespace wv
