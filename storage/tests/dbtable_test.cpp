#include <gtest/gtest.h>

#include <set>

#include "platform/foundation/Folders.h"
#include "platform/foundation/Log.h"
#include "storage/DBTable.h"

namespace wv {
namespace {

struct WordsFixture : ::testing::Test {
    void SetUp() override {
        db = std::make_unique<DB>(":memory:");
        db->createTable("words3", "word text,priorityChar text");
        for (const char* w : {"cat", "dog", "cow", "ant"}) {
            db->insert({{"word", std::string(w)}, {"priorityChar", std::string(1, w[0])}}, "words3");
        }
        db->insert({{"word", nullptr}, {"priorityChar", std::string("z")}}, "words3");
        db->createTable("empty", "word text");
    }
    std::unique_ptr<DB> db;
};

TEST_F(WordsFixture, RandomIdHonoursTheConditionAndReachesEveryRow) {
    DBTable table(*db, "words3");
    std::set<int64_t> seen;
    for (int i = 0; i < 200; ++i) seen.insert(*table.randomId(""));
    EXPECT_EQ(seen, (std::set<int64_t>{1, 2, 3, 4, 5}));
    for (int i = 0; i < 20; ++i) {
        auto id = table.randomId("priorityChar = 'c'");
        ASSERT_TRUE(id);
        EXPECT_TRUE(*id == 1 || *id == 3);
    }
    EXPECT_EQ(table.randomId("priorityChar = 'q'"), std::nullopt);
    DBTable empty(*db, "empty");
    EXPECT_EQ(empty.randomId(""), std::nullopt);
    DBTable absent(*db, "absent");
    EXPECT_EQ(absent.randomId(""), std::nullopt);
    EXPECT_EQ(table.randomId("not valid sql ((("), std::nullopt);
}

TEST_F(WordsFixture, StringForIdReadsOneColumnOfOneRow) {
    DBTable table(*db, "words3");
    std::vector<std::string> statements;
    db->connection().setTraceCallback([&](const std::string& s) { statements.push_back(s); });
    EXPECT_EQ(table.stringForId(2, "word"), "dog");
    EXPECT_EQ(statements.back(), "SELECT * FROM words3 WHERE id = 2 LIMIT 1");
    EXPECT_EQ(table.stringForId(2, "priorityChar"), "d");
    EXPECT_EQ(table.stringForId(5, "word"), std::nullopt);  // NULL
    EXPECT_EQ(table.stringForId(99, "word"), std::nullopt);
    EXPECT_EQ(table.stringForId(-7, "word"), std::nullopt);
    EXPECT_EQ(statements.back(), "SELECT * FROM words3 WHERE id = -7 LIMIT 1");
}

TEST(DBTable, DestructionPrintsTheTableName) {
    DB db(":memory:");
    LogCapture log;
    { DBTableTemp table(db, "sessions"); }
    EXPECT_EQ(log.lines(), std::vector<std::string>{"DBTable *sessions* deinit"});
}

}  // namespace
}  // namespace wv
