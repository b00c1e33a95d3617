#include <gtest/gtest.h>

#include "cloud/CloudConstants.h"
#include "cloud/LessonRecord.h"
#include "cloud/WVCloud.h"
#include "cloud/tests/CloudFixture.h"

namespace wv::testing {
namespace {

class WVCloudTest : public CloudFixture {
  protected:
    bool synchronised(size_t times = 1) {
        return waitForLine("WVCloud synchronization complete", times);
    }
    int64_t linkedRows(Installation& installation) {
        return int64_t(installation.stats->db().count("cloud_sync"));
    }
    std::vector<int> speeds(Installation& installation) {
        std::vector<int> out;
        for (const auto& lesson : installation.stats->lessonsList())
            out.push_back(lesson->speedCPM);
        return out;
    }
};

TEST_F(WVCloudTest, FirstStartRunsTheWholeChainAndLaterStartsBeginAtTheSubscription) {
    Installation& a = install("A", "alice", false);
    a.finishLine(row(150));
    a.finishLine(row(160));
    startCloud(a);
    ASSERT_TRUE(synchronised());
    EXPECT_EQ(linesStartingWith("WVCloud "),
              (std::vector<std::string>{
                  "WVCloud READY (isAuthenticated = true)",
                  "WVCloud isAuthenticated true, status: 1",
                  "WVCloud fetchAllRecords: true. FETCHED 0; SAVED 0",
                  "WVCloud subscriptions fetch: true ",
                  "WVCloud subscriptions count: 0 ",
                  "WVCloud subscribe: true ",
                  "WVCloud subscriber sync: true. subscriptions count 1",
                  "WVCloud change fetch: true. CREATED 0; UPDATED 0; DELETED 0 ",
                  "WVCloud fetch and save: true. FETCHED 0; SAVED 0",
                  "WVCloud push to cloud: true. PUSHED 2",
                  "WVCloud synchronization complete",
              }));
    EXPECT_EQ(serverRecords(), 2u);
    EXPECT_EQ(linkedRows(a), 2);
    EXPECT_EQ(control().inspect("subscriptions").rows.size(), 1u);

    quit(a);
    log_.clear();
    Installation& again = install("A");
    ASSERT_TRUE(synchronised());
    EXPECT_FALSE(logged("WVCloud fetchAllRecords: true. FETCHED 0; SAVED 0"));
    EXPECT_TRUE(logged("WVCloud subscriber sync: true. subscriptions count 1"));
    EXPECT_TRUE(logged("WVCloud push to cloud: true. PUSHED 0"));
    EXPECT_EQ(serverRecords(), 2u);
    EXPECT_EQ(linkedRows(again), 2);
}

// A fresh installation takes every record of the account, in typing order whatever order
// the server pages them in, links each and pushes none back; restarted, it pushes nothing.
TEST_F(WVCloudTest, AFreshInstallationDownloadsEverythingInTypingOrderAndSendsNothingBack) {
    Installation& a = install("A", "alice", false);
    a.finishLine(row(130, "2026-01-02 10:00:02"));
    a.finishLine(row(110, "2026-01-02 10:00:00"));
    a.finishLine(row(120, "2026-01-02 10:00:01"));
    startCloud(a);
    ASSERT_TRUE(synchronised());
    ASSERT_FALSE(control().setPageSize(2));
    ASSERT_FALSE(control().setOrder(ck::QueryOrder::Random, 7));

    Installation& c = install("C");
    ASSERT_TRUE(synchronised(2));
    EXPECT_TRUE(logged("WVCloud fetchAllRecords: true. FETCHED 3; SAVED 3"));
    EXPECT_EQ(speeds(c), (std::vector<int>{110, 120, 130}));
    EXPECT_EQ(linkedRows(c), 3);
    EXPECT_EQ(log_.count("WVCloud push to cloud: true. PUSHED 0"), 1u);
    EXPECT_EQ(serverRecords(), 3u);
    // Every field but the row id arrived as it was typed.
    const auto& first = *c.stats->lessonsList()[0];
    const auto& original = *a.stats->lessonsList()[1];
    auto withoutId = [](LessonInfo lesson) {
        lesson.id = 0;
        return lesson;
    };
    EXPECT_EQ(withoutId(first), withoutId(original));

    quit(c);
    log_.clear();
    Installation& restarted = install("C");
    ASSERT_TRUE(synchronised());
    EXPECT_TRUE(logged("WVCloud push to cloud: true. PUSHED 0"));
    EXPECT_EQ(restarted.stats->lessonsList().size(), 3u);
    EXPECT_EQ(serverRecords(), 3u);
}

// Lines of one second go up in one push; the other installation, told by a push
// notification, stores them once and never sends them back.
TEST_F(WVCloudTest, LinesOfOneSecondGoUpTogetherAndReachTheOtherInstallation) {
    Installation& a = install("A");
    Installation& b = install("B");
    ASSERT_TRUE(synchronised(2));
    b.container->registerForRemoteNotifications(
        [&](const plist::Dictionary&) { b.cloud->fetchChanges(); });
    pumpFor(0.4);  // the registration reaches the server before anything changes

    a.finishLine(row(200));
    loop_.advance(0.5);
    a.finishLine(row(210));
    a.finishLine(row(220));
    EXPECT_EQ(log_.count("WVCloud going to create batch timer for 1.0 secons"), 1u);
    EXPECT_EQ(serverRecords(), 0u);
    loop_.advance(0.5);
    ASSERT_TRUE(waitForLine("WVCloud batch queue PUSHED 3"));
    EXPECT_EQ(log_.count("going to push 3 records"), 1u);
    EXPECT_EQ(serverRecords(), 3u);

    ASSERT_TRUE(pumpUntil([&] { return b.stats->lessonsList().size() == 3; }));
    EXPECT_EQ(speeds(b), (std::vector<int>{200, 210, 220}));
    EXPECT_EQ(linkedRows(b), 3);
    ASSERT_TRUE(waitForLine("iCloud CHANGE TOKEN saved"));
    pumpFor(0.6);
    EXPECT_EQ(serverRecords(), 3u);

    // A record finished after the flush opens a second batch.
    a.finishLine(row(230));
    EXPECT_EQ(log_.count("WVCloud going to create batch timer for 1.0 secons"), 2u);
    loop_.advance(1.0);
    ASSERT_TRUE(waitForLine("WVCloud batch queue PUSHED 1"));
    ASSERT_TRUE(pumpUntil([&] { return b.stats->lessonsList().size() == 4; }));

    // B started again finds nothing to push and keeps its four rows.
    quit(b);
    log_.clear();
    Installation& restarted = install("B");
    ASSERT_TRUE(synchronised());
    EXPECT_TRUE(logged("WVCloud push to cloud: true. PUSHED 0"));
    EXPECT_EQ(restarted.stats->lessonsList().size(), 4u);
    EXPECT_EQ(serverRecords(), 4u);
}

TEST_F(WVCloudTest, ALineBeforeTheAccountIsKnownWaitsForTheChainsPush) {
    Installation& a = install("A", "alice", false);
    ASSERT_FALSE(control().setAccountStatus(a.identifier(), ck::AccountStatus::NoAccount));
    startCloud(a);
    ASSERT_TRUE(waitForLine("WVCloud isAuthenticated false, status: 3"));
    a.finishLine(row(140));
    loop_.advance(1.5);
    EXPECT_FALSE(logged("WVCloud going to create batch timer for 1.0 secons"));
    EXPECT_FALSE(logged("WVCloud READY (isAuthenticated = true)"));

    // Signing in is noticed by the container's poll and starts the chain once.
    ASSERT_FALSE(control().setAccountStatus(a.identifier(), std::nullopt));
    ASSERT_TRUE(synchronised());
    EXPECT_TRUE(logged("WVCloud push to cloud: true. PUSHED 1"));
    pumpFor(0.6);
    EXPECT_EQ(log_.count("WVCloud READY (isAuthenticated = true)"), 1u);
    EXPECT_EQ(serverRecords(), 1u);

    // Signed out again, a finished line is not queued.
    ASSERT_FALSE(control().setAccountStatus(a.identifier(), ck::AccountStatus::NoAccount));
    ASSERT_TRUE(waitForLine("WVCloud isAuthenticated false, status: 3", 2));
    a.finishLine(row(150));
    EXPECT_TRUE(a.cloud->batchQueue.empty());
    EXPECT_EQ(serverRecords(), 1u);
}

// A send whose reply was lost (the program ended after the server's commit) is repeated
// under its first name; the server's "already there" confirms it instead of a second record.
TEST_F(WVCloudTest, ARepeatedSendIsConfirmedByTheRecordTheServerAlreadyHolds) {
    Installation& a = install("A", "alice", false);
    const int64_t id = a.finishLine(row(175));
    ASSERT_TRUE(a.stats->db().count("sessions") == 1);
    PendingRecordNames pending(a.stats->db());
    ASSERT_TRUE(pending.add(id, "LOST-REPLY-1"));
    ASSERT_FALSE(saveOnServer(a, {lessonRecord(*a.stats->lessonsList()[0], kLessonRecordType,
                                               std::string("LOST-REPLY-1"))}));
    startCloud(a);
    ASSERT_TRUE(synchronised());
    EXPECT_EQ(serverRecords(), 1u);
    EXPECT_EQ(linkedRows(a), 1);
    EXPECT_FALSE(pending.nameFor(id));
    EXPECT_EQ(a.stats->lessonsList().size(), 1u);  // its own record was not stored again
    EXPECT_TRUE(a.cloud->pusher.cloudSyncDB().hasRecordName("LOST-REPLY-1"));
}

TEST_F(WVCloudTest, AFailedSliceLeavesItsRecordsForTheNextStart) {
    Installation& a = install("A", "alice", false);
    for (int i = 0; i < 3; ++i) a.finishLine(row(100 + i));
    ASSERT_FALSE(control().failNext("modify", 1, ck::ErrorCode::ServiceUnavailable));
    startCloud(a);
    ASSERT_TRUE(synchronised());
    EXPECT_TRUE(logged("WVCloud push to cloud: false. PUSHED 0"));
    EXPECT_EQ(linkedRows(a), 0);
    quit(a);
    Installation& again = install("A");
    ASSERT_TRUE(synchronised(2));
    EXPECT_TRUE(logged("WVCloud push to cloud: true. PUSHED 3"));
    EXPECT_EQ(serverRecords(), 3u);
    EXPECT_EQ(linkedRows(again), 3);
}

// Another account's links and token would hide its records and keep this one's away.
TEST_F(WVCloudTest, AnotherAccountStartsFromNothing) {
    Installation& a = install("A", "alice");
    ASSERT_TRUE(synchronised());
    a.finishLine(row(100));
    loop_.advance(1.0);
    ASSERT_TRUE(waitForLine("WVCloud batch queue PUSHED 1"));
    quit(a);
    log_.clear();
    Installation& asBob = install("A", "bob");
    ASSERT_TRUE(synchronised());
    EXPECT_TRUE(logged("WVCloud account changed: forgetting the links of alice"));
    EXPECT_TRUE(logged("WVCloud fetchAllRecords: true. FETCHED 0; SAVED 0"));
    EXPECT_TRUE(logged("WVCloud push to cloud: true. PUSHED 1"));
    EXPECT_EQ(linkedRows(asBob), 1);
    EXPECT_EQ(serverRecords(), 2u);  // one in each account's private database
}

TEST_F(WVCloudTest, APushDuringAChangeFetchBringsOneFetchAfterIt) {
    Installation& a = install("A");
    Installation& b = install("B");
    ASSERT_TRUE(synchronised(2));
    a.finishLine(row(300));
    loop_.advance(1.0);
    ASSERT_TRUE(waitForLine("WVCloud batch queue PUSHED 1"));
    log_.clear();
    b.cloud->fetchChanges();
    b.cloud->fetchChanges();  // while the first one runs
    EXPECT_TRUE(logged("WVCloud change fetch: false. CREATED 0; UPDATED 0; DELETED 0 "));
    ASSERT_TRUE(waitForLine("WVCloud fetch and save: true. FETCHED 1; SAVED 1"));
    ASSERT_TRUE(waitForLine("WVCloud fetch and save: true. FETCHED 0; SAVED 0"));
    pumpFor(0.3);
    EXPECT_EQ(log_.count("WVCloud fetch and save: true. FETCHED 0; SAVED 0"), 1u);
    EXPECT_EQ(b.stats->lessonsList().size(), 1u);
}

// A server that delivers a few notifications per fetch is asked again until it has no more;
// an expired token is dropped and the fetch starts from the beginning.
TEST_F(WVCloudTest, MoreComingIsFollowedAndAnExpiredTokenIsDropped) {
    Installation& a = install("A");
    Installation& b = install("B");
    ASSERT_TRUE(synchronised(2));
    ASSERT_FALSE(control().setNotificationLimit(2));
    for (int i = 0; i < 5; ++i) a.finishLine(row(400 + i));
    loop_.advance(1.0);
    ASSERT_TRUE(waitForLine("WVCloud batch queue PUSHED 5"));
    log_.clear();
    b.cloud->fetchChanges();
    ASSERT_TRUE(pumpUntil([&] { return b.stats->lessonsList().size() == 5; }));
    EXPECT_EQ(speeds(b), (std::vector<int>{400, 401, 402, 403, 404}));
    ASSERT_TRUE(waitForLine("iCloud CHANGE TOKEN saved", 3));

    ASSERT_FALSE(control().resetEpoch());
    log_.clear();
    b.cloud->fetchChanges();
    ASSERT_TRUE(waitForLine("WVCloud fetch and save: true. FETCHED 0; SAVED 0"));
    EXPECT_EQ(linesStartingWith("fetchNotificationChangesCompletionBlock ERROR: ").size(), 1u);
    EXPECT_EQ(b.stats->lessonsList().size(), 5u);
}

// A record that does not read back as a lesson is named and left out; the others arrive.
TEST_F(WVCloudTest, UnreadableRecordsAreReportedAndSkipped) {
    Installation& a = install("A", "alice", false);
    LessonInfo lesson;
    lesson.localTime = "2026-03-04 05:06:07";
    lesson.speedCPM = 99;
    auto good = lessonRecord(lesson, kLessonRecordType, std::string("GOOD"));
    auto noSpeed = lessonRecord(lesson, kLessonRecordType, std::string("NO-SPEED"));
    noSpeed.removeObject("speed");
    auto textTime = lessonRecord(lesson, kLessonRecordType, std::string("TEXT-TIME"));
    textTime.setObject("time", std::string("11"));
    auto badDate = lessonRecord(lesson, kLessonRecordType, std::string("BAD-DATE"));
    badDate.setObject("localTime", std::string("yesterday"));
    auto badLanguage = lessonRecord(lesson, kLessonRecordType, std::string("BAD-LANGUAGE"));
    badLanguage.setObject("langId", int64_t(12));
    ASSERT_FALSE(saveOnServer(a, {noSpeed, good, textTime, badDate, badLanguage}));
    startCloud(a);
    ASSERT_TRUE(synchronised());
    for (const char* line : {"WVCloud RECORD unreadable: NO-SPEED (no \"speed\")",
                             "WVCloud RECORD unreadable: TEXT-TIME (\"time\" is string)",
                             "WVCloud RECORD unreadable: BAD-DATE (\"localTime\" is no time)",
                             "WVCloud RECORD unreadable: BAD-LANGUAGE (\"langId\" is no language)"})
        EXPECT_TRUE(logged(line)) << line;
    ASSERT_EQ(a.stats->lessonsList().size(), 1u);
    EXPECT_EQ(a.stats->lessonsList()[0]->speedCPM, 99);
    EXPECT_TRUE(logged("WVCloud push to cloud: true. PUSHED 0"));
}

TEST_F(WVCloudTest, AFailedQueryStoresNothingAndEndsTheChain) {
    Installation& a = install("A", "alice", false);
    saveOnServer(a,
                 {lessonRecord(LessonInfo{.localTime = "2026-01-01 00:00:00"}, kLessonRecordType)});
    a.finishLine(row(100));
    ASSERT_FALSE(control().setPageSize(1));
    saveOnServer(a,
                 {lessonRecord(LessonInfo{.localTime = "2026-01-01 00:00:01"}, kLessonRecordType)});
    ASSERT_FALSE(control().failNext("query", 1, ck::ErrorCode::NetworkFailure));
    startCloud(a);
    ASSERT_TRUE(waitForLine("WVCloud fetchAllRecords: false. FETCHED 0; SAVED 0"));
    pumpFor(0.2);
    EXPECT_FALSE(logged("WVCloud synchronization complete"));
    EXPECT_EQ(linkedRows(a), 0);
    EXPECT_EQ(a.stats->lessonsList().size(), 1u);
}

}  // namespace
}  // namespace wv::testing
