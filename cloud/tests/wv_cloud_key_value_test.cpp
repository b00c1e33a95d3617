#include <gtest/gtest.h>

#include <any>

#include "cloud/WVCloudKeyValue.h"
#include "cloud/tests/CloudFixture.h"

namespace wv::testing {
namespace {

class KeyValueTest : public CloudFixture {
  protected:
    static plist::Dictionary settings(int64_t speedType) {
        plist::Dictionary d;
        d.set("language", plist::Value(int64_t(3)));
        d.set("speedType", plist::Value(speedType));
        return d;
    }
};

TEST_F(KeyValueTest, SettingsReachAnotherInstallationAndEqualOnesAreNotWrittenAgain) {
    Installation& a = install("A", "alice", false);
    Installation& b = install("B", "alice", false);
    WVCloudKeyValue storeA(*a.container);
    WVCloudKeyValue storeB(*b.container);
    std::vector<std::vector<std::string>> heard;
    auto subscription = storeB.didChange.subscribe(
        [&](const std::vector<std::string>& keys) { heard.push_back(keys); });
    EXPECT_EQ(heard, (std::vector<std::vector<std::string>>{{}}));  // the empty list first

    storeA.save(settings(1));
    EXPECT_EQ(linesStartingWith("Save to iCloud: ").size(), 1u);
    storeA.save(settings(1));
    EXPECT_TRUE(logged("Save to iCloud: SKIPPED"));
    pumpFor(0.05);
    storeB.synchronize();
    ASSERT_TRUE(pumpUntil([&] { return heard.size() == 2; }));
    EXPECT_EQ(heard[1], (std::vector<std::string>{"config"}));
    EXPECT_EQ(storeB.dictionaryForKey("config"), settings(1));
    // What B holds is what it would save: nothing goes back.
    log_.clear();
    storeB.save(settings(1));
    EXPECT_TRUE(logged("Save to iCloud: SKIPPED"));

    // A later change is noticed by the container's poll without asking.
    storeA.save(settings(0));
    ASSERT_TRUE(pumpUntil([&] { return heard.size() == 3; }));
    EXPECT_EQ(storeB.dictionaryForKey("config"), settings(0));
    subscription.dispose();
}

TEST_F(KeyValueTest, OnlyServerChangesAndTheFirstSyncArePublished) {
    Installation& a = install("A", "alice", false);
    WVCloudKeyValue store(*a.container);
    std::vector<std::vector<std::string>> heard;
    auto subscription = store.didChange.subscribe(
        [&](const std::vector<std::string>& keys) { heard.push_back(keys); });
    heard.clear();
    struct Case {
        std::map<std::string, std::any> userInfo;
        bool published;
    };
    const std::vector<std::string> keys = {"config"};
    const std::vector<Case> cases = {
        {{{ck::KeyValueStore::kChangeReasonKey, std::any(int64_t(0))},
          {ck::KeyValueStore::kChangedKeysKey, std::any(keys)}},
         true},
        {{{ck::KeyValueStore::kChangeReasonKey, std::any(int64_t(1))},
          {ck::KeyValueStore::kChangedKeysKey, std::any(keys)}},
         true},
        {{{ck::KeyValueStore::kChangeReasonKey, std::any(int64_t(2))},
          {ck::KeyValueStore::kChangedKeysKey, std::any(keys)}},
         false},
        {{{ck::KeyValueStore::kChangeReasonKey, std::any(int64_t(3))},
          {ck::KeyValueStore::kChangedKeysKey, std::any(keys)}},
         false},
        {{{ck::KeyValueStore::kChangeReasonKey, std::any(int64_t(-1))},
          {ck::KeyValueStore::kChangedKeysKey, std::any(keys)}},
         false},
        {{{ck::KeyValueStore::kChangeReasonKey, std::any(std::string("0"))},
          {ck::KeyValueStore::kChangedKeysKey, std::any(keys)}},
         false},
        {{{ck::KeyValueStore::kChangeReasonKey, std::any(int64_t(0))},
          {ck::KeyValueStore::kChangedKeysKey, std::any(std::string("config"))}},
         false},
        {{}, false},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        heard.clear();
        NotificationCenter::defaultCenter().post(
            ck::KeyValueStore::kDidChangeExternallyNotification, &store.store(), cases[i].userInfo);
        EXPECT_EQ(heard.size(), cases[i].published ? 1u : 0u) << "case " << i;
    }
    // Once the typing screen has ended the stream, nothing more is heard.
    store.didChange.onCompleted();
    heard.clear();
    NotificationCenter::defaultCenter().post(ck::KeyValueStore::kDidChangeExternallyNotification,
                                             &store.store(), cases[0].userInfo);
    EXPECT_TRUE(heard.empty());
    subscription.dispose();
}

}  // namespace
}  // namespace wv::testing
