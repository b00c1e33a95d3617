#include <gtest/gtest.h>

#include <fstream>

#include "platform/foundation/Folders.h"
#include "platform/sqlite/Database.h"

namespace wv::sqlite {
namespace {

std::filesystem::path freshFile(const char* name) {
    auto dir = Folders::dataHome() / "sqlite";
    std::filesystem::create_directories(dir);
    auto path = dir / name;
    std::filesystem::remove(path);
    return path;
}

TEST(Database, NamedParametersBindByTypeAndBooleansAsIntegers) {
    Database db(":memory:");
    ASSERT_TRUE(db.open());
    ASSERT_TRUE(db.executeUpdate("CREATE TABLE t (a, b, c, d, e)"));
    ASSERT_TRUE(db.executeUpdate("INSERT INTO t (a, b, c, d, e) values (:a, :b, :c, :d, :e)",
                                 NamedValues{{"a", std::string("text")},
                                             {"b", int64_t(1) << 40},
                                             {"c", 2.5},
                                             {"d", true},
                                             {"e", nullptr}}));
    EXPECT_EQ(db.lastInsertRowId(), 1);
    auto rs = db.executeQuery("SELECT typeof(a), typeof(b), typeof(c), typeof(d), d, b, e FROM t");
    ASSERT_TRUE(rs && rs->next());
    EXPECT_EQ(rs->stringForColumnIndex(0), "text");
    EXPECT_EQ(rs->stringForColumnIndex(1), "integer");
    EXPECT_EQ(rs->stringForColumnIndex(2), "real");
    EXPECT_EQ(rs->stringForColumnIndex(3), "integer");
    EXPECT_EQ(rs->longLongIntForColumn("D"), 1);
    EXPECT_EQ(rs->longLongIntForColumn("b"), int64_t(1) << 40);
    EXPECT_EQ(rs->stringForColumn("e"), std::nullopt);
    EXPECT_FALSE(rs->next());
}

TEST(Database, QueryBindsPositionalTextAndReportsUnpreparableStatements) {
    Database db(":memory:");
    ASSERT_TRUE(db.open());
    db.executeUpdate("CREATE TABLE t (name text)");
    db.executeUpdate("INSERT INTO t VALUES ('x')");
    auto rs = db.executeQuery("SELECT * FROM t WHERE name = ?", {"x"});
    ASSERT_TRUE(rs);
    EXPECT_TRUE(rs->next());
    EXPECT_EQ(db.executeQuery("SELECT * FROM nowhere"), nullptr);
    EXPECT_NE(db.lastErrorCode(), 0);
    EXPECT_NE(db.lastErrorMessage().find("no such table"), std::string::npos);
}

TEST(Database, AFailedUpdateIsAnErrorAndLeavesTheRowIdAlone) {
    Database db(":memory:");
    ASSERT_TRUE(db.open());
    db.executeUpdate("CREATE TABLE t (id integer primary key, v text not null)");
    ASSERT_TRUE(db.executeUpdate("INSERT INTO t (v) values (:v)", NamedValues{{"v", std::string("a")}}));
    EXPECT_EQ(db.lastErrorCode(), 0);
    EXPECT_FALSE(db.executeUpdate("INSERT INTO t (v) values (:v)", NamedValues{{"v", nullptr}}));
    EXPECT_EQ(db.lastErrorCode(), 19);  // SQLITE_CONSTRAINT
    EXPECT_EQ(db.lastInsertRowId(), 1);
}

TEST(Database, ReadOnlyOpenNeverCreatesAFile) {
    auto path = freshFile("absent.db");
    Database db(path);
    EXPECT_FALSE(db.open(Database::Mode::ReadOnly));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(db.executeQuery("SELECT 1"), nullptr);
    EXPECT_FALSE(db.executeUpdate("CREATE TABLE t (a)"));
}

TEST(Database, AFileThatIsNotADatabaseFailsToOpenAndIsLeftAlone) {
    auto path = freshFile("garbage.db");
    std::ofstream(path) << std::string(4096, 'z');
    Database db(path);
    EXPECT_FALSE(db.open());
    EXPECT_EQ(std::filesystem::file_size(path), 4096u);
}

TEST(Database, TraceSeesStatementTextsAsWritten) {
    Database db(":memory:");
    std::vector<std::string> seen;
    db.setTraceCallback([&](const std::string& sql) { seen.push_back(sql); });
    ASSERT_TRUE(db.open());
    db.executeUpdate("CREATE TABLE t (a)");
    db.executeUpdate("INSERT INTO t (a) values (:a)", NamedValues{{"a", int64_t(3)}});
    EXPECT_EQ(seen, (std::vector<std::string>{"CREATE TABLE t (a)", "INSERT INTO t (a) values (:a)"}));
}

}  // namespace
}  // namespace wv::sqlite
