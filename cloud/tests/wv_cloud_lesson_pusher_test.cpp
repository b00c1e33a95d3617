#include <gtest/gtest.h>

#include "cloud/CloudConstants.h"
#include "cloud/WVCloudLessonPusher.h"
#include "cloud/tests/CloudFixture.h"

namespace wv::testing {
namespace {

class LessonPusherTest : public CloudFixture {
  protected:
    void SetUp() override {
        CloudFixture::SetUp();
        a_ = &install("A", "alice", false);
        pusher_ = std::make_unique<WVCloudLessonPusher>(a_->container->privateCloudDatabase(),
                                                        *a_->stats, kLessonRecordType);
    }
    void TearDown() override {
        pumpFor(0.05);
        pusher_.reset();
        CloudFixture::TearDown();
    }

    // Stored in one transaction: hundreds of separate commits would only time the disk.
    std::vector<LessonInfoPtr> lines(int count) {
        std::vector<RowDictionary> rows;
        for (int i = 0; i < count; ++i) rows.push_back(row(100 + i));
        if (!rows.empty()) EXPECT_TRUE(a_->stats->addLessonsTogether(rows, {}));
        return a_->stats->lessonsList();
    }
    std::optional<bool> push(std::vector<LessonInfoPtr> lessons) {
        std::optional<bool> result;
        pusher_->pushLessons(std::move(lessons), [&](bool ok) { result = ok; });
        pumpUntil([&] { return result.has_value(); });
        return result;
    }

    Installation* a_ = nullptr;
    std::unique_ptr<WVCloudLessonPusher> pusher_;
};

TEST_F(LessonPusherTest, SlicesOfFourHundredOneAfterAnotherAndEveryConfirmedRecordLinked) {
    struct Case {
        int records;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {0, {}},
        {400, {"going to push 400 records"}},
        {401, {"going to push 400 records", "going to push 1 records"}},
    };
    int64_t total = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.records);
        log_.clear();
        lines(c.records);
        EXPECT_EQ(push(a_->stats->lessonsList()), true);
        EXPECT_EQ(linesStartingWith("going to push "), c.lines);
        EXPECT_EQ(pusher_->pushedRecordsNumbers, c.records);
        total += c.records;
        EXPECT_EQ(a_->stats->db().count("cloud_sync"), uint64_t(total));
        EXPECT_EQ(serverRecords(), size_t(total));
        EXPECT_EQ(a_->stats->db().count("cloud_pending"), 0u);
    }
}

TEST_F(LessonPusherTest, AFailedSliceLeavesOnlyItsOwnRecordsUnlinked) {
    auto lessons = lines(401);
    ASSERT_FALSE(control().failNext("modify", 1, ck::ErrorCode::ServiceUnavailable));
    EXPECT_EQ(push(lessons), false);
    EXPECT_EQ(linesStartingWith("modifyRecordsCompletionBlock ").size(), 1u);
    EXPECT_EQ(pusher_->pushedRecordsNumbers, 1);
    EXPECT_EQ(a_->stats->db().count("cloud_sync"), 1u);
    EXPECT_TRUE(pusher_->cloudSyncDB().hasLocalId(lessons.back()->id));
    // The next push sends exactly the 400, under the names they were first sent with.
    log_.clear();
    EXPECT_EQ(push(lessons), true);
    EXPECT_EQ(linesStartingWith("going to push "),
              (std::vector<std::string>{"going to push 400 records"}));
    EXPECT_EQ(serverRecords(), 401u);
}

TEST_F(LessonPusherTest, ARecordHandedInTwiceGoesUpOnce) {
    auto lessons = lines(2);
    lessons.push_back(lessons[0]);
    EXPECT_EQ(push(lessons), true);
    EXPECT_EQ(pusher_->pushedRecordsNumbers, 2);
    EXPECT_EQ(serverRecords(), 2u);
    EXPECT_EQ(a_->stats->db().count("cloud_sync"), 2u);
}

// A push asked for while one runs starts after it and skips what the first one linked.
TEST_F(LessonPusherTest, APushWaitsForTheOneInFlight) {
    auto lessons = lines(3);
    std::vector<std::string> order;
    pusher_->pushLessons(lessons, [&](bool ok) { order.push_back(ok ? "first" : "first failed"); });
    EXPECT_TRUE(pusher_->isBusy());
    pusher_->pushLessons({lessons[2]}, [&](bool ok) {
        order.push_back(ok ? "second" : "second failed");
        EXPECT_EQ(pusher_->pushedRecordsNumbers, 0);
    });
    ASSERT_TRUE(pumpUntil([&] { return order.size() == 2; }));
    EXPECT_EQ(order, (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(serverRecords(), 3u);
    EXPECT_EQ(log_.count("going to push 3 records"), 1u);
    EXPECT_EQ(linesStartingWith("going to push ").size(), 1u);
    EXPECT_FALSE(pusher_->isBusy());
}

}  // namespace
}  // namespace wv::testing
