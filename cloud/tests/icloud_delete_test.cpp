#include <gtest/gtest.h>

#include "cloud/CloudConstants.h"
#include "cloud/iCloudDelete.h"
#include "cloud/tests/CloudFixture.h"

namespace wv::testing {
namespace {

class DeleteTest : public CloudFixture {};

TEST_F(DeleteTest, EveryPageIsDeletedBeforeTheNextIsAskedFor) {
    Installation& a = install("A", "alice", false);
    std::vector<ck::Record> records;
    for (int i = 0; i < 5; ++i) records.emplace_back(kLessonRecordType);
    records.emplace_back("OtherType");
    ASSERT_FALSE(saveOnServer(a, records));
    ASSERT_FALSE(control().setPageSize(2));
    iCloudDelete deleter(a.container->privateCloudDatabase());
    std::optional<bool> result;
    deleter.start(allRecordsQuery(), [&](bool ok) { result = ok; });
    ASSERT_TRUE(pumpUntil([&] { return result.has_value(); }));
    EXPECT_EQ(result, true);
    EXPECT_EQ(deleter.deletedRecordsNumber, 5);
    EXPECT_EQ(deleter.fetchedRecordsNumber, 5);
    EXPECT_EQ(linesStartingWith("RECORD fetched: ").size(), 5u);
    EXPECT_EQ(serverRecords(), 1u);  // only the other type is left
    EXPECT_FALSE(deleter.isBusy);
}

TEST_F(DeleteTest, AFailedDeleteEndsTheRunWithFalse) {
    Installation& a = install("A", "alice", false);
    ASSERT_FALSE(saveOnServer(a, {ck::Record(kLessonRecordType)}));
    iCloudDelete deleter(a.container->privateCloudDatabase());
    ASSERT_FALSE(control().failNext("modify", 1, ck::ErrorCode::ServiceUnavailable));
    std::optional<bool> result;
    deleter.start(allRecordsQuery(), [&](bool ok) { result = ok; });
    ASSERT_TRUE(pumpUntil([&] { return result.has_value(); }));
    EXPECT_EQ(result, false);
    EXPECT_EQ(serverRecords(), 1u);
    // A second start while idle runs again and succeeds.
    result.reset();
    deleter.start(allRecordsQuery(), [&](bool ok) { result = ok; });
    ASSERT_TRUE(pumpUntil([&] { return result.has_value(); }));
    EXPECT_EQ(result, true);
    EXPECT_EQ(serverRecords(), 0u);
}

}  // namespace
}  // namespace wv::testing
