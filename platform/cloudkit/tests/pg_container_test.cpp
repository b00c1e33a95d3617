// Containers on a server that goes away: the account comes back with an announcement, and
// pushes resume after a restart.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/cloudkit/Container.h"
#include "platform/cloudkit/ContainerCore.h"
#include "platform/cloudkit/ModifyRecordsOperation.h"
#include "platform/cloudkit/testing/PgTestCluster.h"
#include "platform/dispatch/ManualRunLoop.h"
#include "platform/foundation/NotificationCenter.h"

namespace wv::ck {
namespace {

using testing::PgTestCluster;

constexpr const char* kType = "WVLessonStats";

class PgContainerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root_ = std::filesystem::path(std::getenv("XDG_DATA_HOME")) / info->name();
        std::filesystem::remove_all(root_);
        cluster_ = PgTestCluster::makePrivate();
        const std::string database = cluster_->freshDatabase();
        database_ = database.substr(database.rfind("dbname=") + 7);
        store_ = database + " connect_timeout=2";
    }

    CloudConfiguration configuration(const std::string& installation) {
        CloudConfiguration config;
        config.supportFolder = root_ / installation;
        config.account = "alice";
        config.server = store_;
        config.containerIdentifier = "iCloud.test.container";
        return config;
    }

    bool pumpUntil(const std::function<bool()>& done, double seconds = 15) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < deadline) {
            loop_.runUntilIdle();
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        loop_.runUntilIdle();
        return done();
    }

    std::optional<Error> save(Container& container, std::vector<Record> records) {
        auto op =
            std::make_shared<ModifyRecordsOperation>(std::move(records), std::vector<RecordID>{});
        bool done = false;
        std::optional<Error> error;
        op->setModifyRecordsCompletionBlock([&](const auto&, const auto&, const auto& e) {
            error = e;
            done = true;
        });
        container.privateCloudDatabase().addOperation(op);
        EXPECT_TRUE(pumpUntil([&] { return done; }));
        return error;
    }

    std::filesystem::path root_;
    std::unique_ptr<PgTestCluster> cluster_;
    std::string database_;
    std::string store_;
    ManualRunLoop loop_;
};

TEST_F(PgContainerTest, AServerDownAtStartAnnouncesTheAccountWhenItAnswers) {
    ASSERT_TRUE(cluster_->pgctl("stop -m immediate"));
    Container a(configuration("A"));
    int announced = 0;
    const auto observer = NotificationCenter::defaultCenter().addObserver(
        ContainerCore::kAccountChangedNotification, &a,
        [&](const wv::Notification&) { ++announced; });
    std::optional<AccountStatus> status;
    std::optional<Error> error;
    a.accountStatusWithCompletionHandler([&](AccountStatus s, const auto& e) {
        status = s;
        error = e;
    });
    ASSERT_TRUE(pumpUntil([&] { return status.has_value(); }));
    EXPECT_EQ(*status, AccountStatus::CouldNotDetermine);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), ErrorCode::NetworkUnavailable);
    EXPECT_EQ(announced, 0);

    ASSERT_TRUE(cluster_->pgctl("start"));
    EXPECT_TRUE(pumpUntil([&] { return announced == 1; }));
    EXPECT_EQ(a.accountStatus(), AccountStatus::Available);
    NotificationCenter::defaultCenter().removeObserver(observer);
}

TEST_F(PgContainerTest, PushesResumeAfterAServerRestart) {
    Container a(configuration("A"));
    Container b(configuration("B"));
    int pushes = 0;
    b.registerForRemoteNotifications([&](const plist::Dictionary&) { ++pushes; });
    // B's worker registers before it answers, so A's saves below come after the registration.
    std::optional<AccountStatus> status;
    b.accountStatusWithCompletionHandler([&](AccountStatus s, const auto&) { status = s; });
    ASSERT_TRUE(pumpUntil([&] { return status.has_value(); }));
    bool subscribed = false;
    a.privateCloudDatabase().saveSubscription(Subscription(kType, Predicate::withValue(true), 3),
                                              [&](const auto&, const auto& e) {
                                                  EXPECT_FALSE(e);
                                                  subscribed = true;
                                              });
    ASSERT_TRUE(pumpUntil([&] { return subscribed; }));
    ASSERT_FALSE(save(a, {Record(kType)}));
    ASSERT_TRUE(pumpUntil([&] { return pushes == 1; }));

    ASSERT_TRUE(cluster_->pgctl("stop -m immediate"));
    const auto during = save(a, {Record(kType)});
    ASSERT_TRUE(during);
    ASSERT_TRUE(cluster_->pgctl("start"));
    // The next save goes through on a new connection, and B, listening again, hears of it.
    std::optional<Error> after = save(a, {Record(kType)});
    for (int i = 0; i < 20 && after; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        after = save(a, {Record(kType)});
    }
    ASSERT_FALSE(after) << after->description();
    EXPECT_TRUE(pumpUntil([&] { return pushes == 2; }));
    EXPECT_EQ(cluster_->psql(database_, "SELECT count(*) FROM records"), "2\n");
}

}  // namespace
}  // namespace wv::ck
