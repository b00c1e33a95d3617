#include "platform/sqlite/Transaction.h"

#include <gtest/gtest.h>

#include "platform/foundation/Folders.h"
#include "platform/sqlite/Database.h"

namespace wv::sqlite {
namespace {

// A file, so that what survives is read through a second connection, as the next start of
// the program would read it.
class TransactionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto dir = Folders::dataHome() / "sqlite-transaction";
        std::filesystem::create_directories(dir);
        path_ =
            dir /
            (std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".db");
        std::filesystem::remove(path_);
        connection_ = std::make_unique<Database>(path_);
        ASSERT_TRUE(db().open());
        ASSERT_TRUE(db().executeUpdate("CREATE TABLE t (a integer)"));
    }

    int64_t rowsSeenByAnotherConnection() {
        Database other(path_);
        EXPECT_TRUE(other.open());
        auto rs = other.executeQuery("SELECT count(*) FROM t");
        EXPECT_TRUE(rs && rs->next());
        return rs ? rs->longLongIntForColumnIndex(0) : -1;
    }

    std::filesystem::path path_;
    Database& db() { return *connection_; }
    std::unique_ptr<Database> connection_;
};

TEST_F(TransactionTest, DroppedWithoutCommitLeavesNothing) {
    {
        Transaction transaction(db());
        ASSERT_TRUE(transaction.isActive());
        ASSERT_TRUE(db().executeUpdate("INSERT INTO t (a) values (1)"));
        ASSERT_TRUE(db().executeUpdate("INSERT INTO t (a) values (2)"));
    }
    EXPECT_EQ(rowsSeenByAnotherConnection(), 0);
    // The connection is usable again: the rollback ended the transaction.
    EXPECT_TRUE(db().executeUpdate("INSERT INTO t (a) values (3)"));
    EXPECT_EQ(rowsSeenByAnotherConnection(), 1);
}

TEST_F(TransactionTest, CommittedRowsAreSeenTogetherOnlyAfterTheCommit) {
    Transaction transaction(db());
    ASSERT_TRUE(db().executeUpdate("INSERT INTO t (a) values (1)"));
    ASSERT_TRUE(db().executeUpdate("INSERT INTO t (a) values (2)"));
    EXPECT_EQ(rowsSeenByAnotherConnection(), 0);
    EXPECT_TRUE(transaction.commit());
    EXPECT_FALSE(transaction.isActive());
    EXPECT_EQ(rowsSeenByAnotherConnection(), 2);
    transaction.rollback();  // after a commit there is nothing left to undo
    EXPECT_EQ(rowsSeenByAnotherConnection(), 2);
}

TEST_F(TransactionTest, ASecondGuardOnTheSameConnectionDoesNotEndTheFirst) {
    Transaction outer(db());
    ASSERT_TRUE(db().executeUpdate("INSERT INTO t (a) values (1)"));
    {
        Transaction inner(db());
        EXPECT_FALSE(inner.isActive());
        EXPECT_FALSE(inner.commit());
    }
    ASSERT_TRUE(db().executeUpdate("INSERT INTO t (a) values (2)"));
    EXPECT_EQ(rowsSeenByAnotherConnection(), 0);
    EXPECT_TRUE(outer.commit());
    EXPECT_EQ(rowsSeenByAnotherConnection(), 2);
}

TEST(Transaction, OnAClosedConnectionNothingBegins) {
    Database closed("/nonexistent-folder/none.db");
    Transaction transaction(closed);
    EXPECT_FALSE(transaction.isActive());
    EXPECT_FALSE(transaction.commit());
}

}  // namespace
}  // namespace wv::sqlite
