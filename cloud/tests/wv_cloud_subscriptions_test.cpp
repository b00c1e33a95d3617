#include <gtest/gtest.h>

#include "cloud/WVCloudSubscriptions.h"
#include "cloud/tests/CloudFixture.h"

namespace wv::testing {
namespace {

class SubscriptionsTest : public CloudFixture {
  protected:
    std::optional<bool> fetchAll(iCloudSubscriptions& subscriber) {
        std::optional<bool> result;
        int calls = 0;
        subscriber.fetchAll([&](bool ok) {
            result = ok;
            ++calls;
        });
        pumpUntil([&] { return result.has_value(); });
        pumpFor(0.02);
        EXPECT_EQ(calls, 1);
        return result;
    }
};

TEST_F(SubscriptionsTest, OneIsSavedOnlyWhenTheDatabaseHoldsNone) {
    Installation& a = install("A", "alice", false);
    WVCloudSubscriptions subscriber(a.container->privateCloudDatabase(), "WVLessonStats");
    EXPECT_EQ(fetchAll(subscriber), true);
    EXPECT_EQ(
        linesStartingWith("WVCloud subscri"),
        (std::vector<std::string>{"WVCloud subscriptions fetch: true ",
                                  "WVCloud subscriptions count: 0 ", "WVCloud subscribe: true "}));
    ASSERT_EQ(subscriber.subscriptions.size(), 1u);
    const auto& saved = subscriber.subscriptions[0];
    EXPECT_EQ(saved.recordType(), "WVLessonStats");
    EXPECT_TRUE(saved.predicate().value());
    EXPECT_EQ(saved.options(), 3);
    EXPECT_TRUE(saved.notificationInfo().shouldSendContentAvailable);
    EXPECT_EQ(saved.notificationInfo().soundName, "");

    // Any subscription, even for another type, is enough for another installation.
    log_.clear();
    Installation& b = install("B", "alice", false);
    WVCloudSubscriptions other(b.container->privateCloudDatabase(), "SomethingElse");
    EXPECT_EQ(fetchAll(other), true);
    EXPECT_TRUE(other.wasFetched);
    EXPECT_FALSE(logged("WVCloud subscribe: true "));
    EXPECT_EQ(control().inspect("subscriptions").rows.size(), 1u);
}

TEST_F(SubscriptionsTest, FailuresEndWithFalseOnce) {
    Installation& a = install("A", "alice", false);
    WVCloudSubscriptions subscriber(a.container->privateCloudDatabase(), "WVLessonStats");
    iCloudSubscriptions base(a.container->privateCloudDatabase());
    ASSERT_FALSE(control().failNext("subscriptions", 1, ck::ErrorCode::NetworkFailure));
    EXPECT_EQ(fetchAll(subscriber), false);
    EXPECT_EQ(linesStartingWith("fetchAllSubscriptions error: ").size(), 1u);
    EXPECT_TRUE(logged("WVCloud subscriptions fetch: false "));

    ASSERT_FALSE(control().failNext("save-subscription", 1, ck::ErrorCode::QuotaExceeded));
    EXPECT_EQ(fetchAll(subscriber), false);
    EXPECT_EQ(linesStartingWith("save subscription error: ").size(), 1u);
    EXPECT_TRUE(logged("WVCloud subscribe: false "));
    EXPECT_TRUE(subscriber.subscriptions.empty());

    // The base kind knows nothing to subscribe to.
    log_.clear();
    EXPECT_EQ(fetchAll(base), false);
    EXPECT_TRUE(logged("WVCloud subscribe: false "));
}

}  // namespace
}  // namespace wv::testing
