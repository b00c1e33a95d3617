#include <gtest/gtest.h>

#include "cloud/iCloudChangeFetcher.h"
#include "platform/foundation/Folders.h"
#include "platform/foundation/Log.h"

namespace wv {
namespace {

class ChangeFetcherTest : public ::testing::Test {
  protected:
    ChangeFetcherTest() {
        dir_ = Folders::dataHome() / "change-fetcher";
        std::filesystem::create_directories(dir_);
        std::filesystem::remove(dir_ / "defaults.plist");
        defaults_ = std::make_unique<UserDefaults>("com.wovanu.typing", dir_ / "defaults.plist");
        ck::CloudConfiguration none;
        none.supportFolder = dir_ / "support";
        container_ = std::make_unique<ck::Container>(none);
        fetcher_ = std::make_unique<iCloudChangeFetcher>(*container_, *defaults_,
                                                         "WVCloudLogicChangeToken");
    }

    static ck::QueryNotification notification(const std::string& name, int reason,
                                              bool query = true) {
        ck::QueryNotification n;
        n.recordID = ck::RecordID(name);
        n.queryNotificationReason = reason;
        if (!query) n.notificationType = ck::QueryNotification::Type::Other;
        return n;
    }

    std::filesystem::path dir_;
    std::unique_ptr<UserDefaults> defaults_;
    std::unique_ptr<ck::Container> container_;
    std::unique_ptr<iCloudChangeFetcher> fetcher_;
    LogCapture log_;
};

TEST_F(ChangeFetcherTest, NotificationsAreSortedByReasonAndCountedOverTheRun) {
    for (const auto& n : {notification("c1", 1), notification("u1", 2), notification("d1", 3),
                          notification("c2", 7), notification("x", 1, false)})
        fetcher_->notificationChanged(n);
    ck::QueryNotification withoutRecord;
    withoutRecord.recordID.reset();
    fetcher_->notificationChanged(withoutRecord);
    EXPECT_EQ(fetcher_->description(), "CREATED 2; UPDATED 1; DELETED 1 ");
    EXPECT_EQ(fetcher_->createdByLastFetch,
              (std::vector<ck::RecordID>{ck::RecordID("c1"), ck::RecordID("c2")}));
}

TEST_F(ChangeFetcherTest, TheTokenIsStoredOnlyWhenSavedAndSurvivesARestart) {
    EXPECT_FALSE(fetcher_->loadToken());
    fetcher_->saveTempToken();  // nothing pending: nothing said, nothing stored
    EXPECT_TRUE(log_.lines().empty());

    bool continued = false;
    fetcher_->fetchCompleted(ck::ServerChangeToken(1, 1, 5), std::nullopt, false,
                             [&](bool ok) { continued = ok; });
    fetcher_->fetchCompleted(ck::ServerChangeToken(1, 1, 9), std::nullopt, true,
                             [&](bool ok) { continued = ok; });
    EXPECT_TRUE(continued);
    EXPECT_TRUE(fetcher_->moreComing);
    EXPECT_FALSE(fetcher_->loadToken());
    fetcher_->saveTempToken();
    EXPECT_TRUE(log_.contains("iCloud CHANGE TOKEN saved"));
    EXPECT_FALSE(fetcher_->tmpChangeToken);

    UserDefaults reopened("com.wovanu.typing", dir_ / "defaults.plist");
    iCloudChangeFetcher next(*container_, reopened, "WVCloudLogicChangeToken");
    EXPECT_EQ(next.loadToken(), ck::ServerChangeToken(1, 1, 9));
}

TEST_F(ChangeFetcherTest, ErrorsReportFalseAndOnlyAnExpiredTokenIsForgotten) {
    fetcher_->storeToken(ck::ServerChangeToken(1, 1, 3));
    struct Case {
        ck::ErrorCode code;
        bool tokenKept;
    };
    for (const Case& c : {Case{ck::ErrorCode::NetworkUnavailable, true},
                          Case{ck::ErrorCode::ChangeTokenExpired, false}}) {
        std::optional<bool> result;
        fetcher_->fetchCompleted(ck::ServerChangeToken(1, 1, 4), ck::Error(c.code), false,
                                 [&](bool ok) { result = ok; });
        EXPECT_EQ(result, false);
        EXPECT_EQ(fetcher_->loadToken().has_value(), c.tokenKept);
        EXPECT_FALSE(fetcher_->tmpChangeToken);
    }
    EXPECT_EQ(log_.count("fetchNotificationChangesCompletionBlock ERROR: " +
                         ck::Error(ck::ErrorCode::ChangeTokenExpired).description()),
              1u);
}

TEST_F(ChangeFetcherTest, AStoredValueThatIsNoTokenReadsAsNone) {
    for (const plist::Value& stored :
         {plist::Value("text"), plist::Value(int64_t(4)), plist::Value(plist::Data{1, 2, 3})}) {
        defaults_->setObject("WVCloudLogicChangeToken", stored);
        EXPECT_FALSE(fetcher_->loadToken());
    }
}

}  // namespace
}  // namespace wv
