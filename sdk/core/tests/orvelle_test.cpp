#include <gtest/gtest.h>

#include "TarnelFixtures.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "sdk/core/QXUserDefaults.h"
#include "sdk/core/Tarnel.h"

namespace wv {
namespace {

using testing::dict;
using testing::FakeKits;
using testing::FixtureBundle;

class OrvelleTest : public ::testing::Test {
  protected:
    OrvelleTest()
        : base_(Folders::dataHome() / "orvelle" /
                ::testing::UnitTest::GetInstance()->current_test_info()->name()),
          store_(base_, "com.example.app", nullptr) {}
    ~OrvelleTest() override { std::filesystem::remove_all(base_); }

    std::unique_ptr<Tarnel> make() {
        auto sdk = std::make_unique<Tarnel>(store_, std::filesystem::path());
        sdk->observeOrvelleReadiness();
        return sdk;
    }
    static void postReady() {
        NotificationCenter::defaultCenter().post(Tarnel::kOrvelleReadyNotification);
    }
    static void writeService(const FixtureBundle& bundle, const plist::Dictionary& service) {
        plist::writeFile(bundle.root() / "HalvardService-Info.plist", plist::Value(service));
    }

    std::filesystem::path base_;
    QXUserDefaults store_;
    LogCapture log_;
};

TEST_F(OrvelleTest, StartsTheCrashKitWithAKeyFromTheApplicationIdentifier) {
    FixtureBundle bundle("orvelle", dict({{"CFBundleIdentifier", "com.example.app"}}));
    const std::string appID = "1:4242:mac:feedface";
    writeService(bundle, dict({{"HALVARD_APP_ID", appID}}));
    FakeKits kits;
    kits.link(kits.kit("Quellix"));
    kits.link(kits.kit("Plurio"));
    auto sdk = make();
    postReady();
    EXPECT_TRUE(sdk->orvelleMode());
    EXPECT_EQ(sdk->APIKey(), testing::toolDigest("sha256sum", appID).substr(0, 40));
    EXPECT_EQ(kits.started, (std::vector<std::string>{"Quellix", "Plurio"}));
    EXPECT_TRUE(sdk->tarnelConfig().empty());  // nothing validated in this mode
    // The observer went with the first notification.
    postReady();
    EXPECT_EQ(kits.started.size(), 2u);
    EXPECT_FALSE(log_.contains(
        "[Tarnel] [Tarnel +with] called multiple times. Only the first call is honored, please "
        "pass all kits you wish to initialize"));
}

TEST_F(OrvelleTest, TheApplicationsOwnConfigurationWins) {
    FakeKits kits;
    kits.link(kits.kit("Quellix"));
    {
        FixtureBundle bundle("own", testing::infoWithKey());
        auto sdk = make();
        postReady();
        EXPECT_EQ(sdk->installationMode(), 0u);
    }
    {
        FixtureBundle bundle("configured", dict({{"CFBundleIdentifier", "x"}}));
        auto sdk = make();
        sdk->setInstallationMode(1);
        postReady();
        EXPECT_EQ(sdk->installationMode(), 1u);
    }
    EXPECT_TRUE(kits.started.empty());
}

TEST_F(OrvelleTest, TheCollectionSwitch) {
    const std::vector<std::pair<std::optional<plist::Value>, bool>> cases = {
        {plist::Value("NO"), false},         {plist::Value("false"), false},
        {plist::Value(int64_t(0)), false},   {plist::Value(false), false},
        {plist::Value("YES"), true},         {plist::Value(int64_t(1)), true},
        {plist::Value(plist::Date()), true}, {std::nullopt, true},
    };
    for (const auto& [value, starts] : cases) {
        FixtureBundle bundle("switch", value
                                           ? dict({{"orvelle_quellix_collection_enabled", *value}})
                                           : dict({{"CFBundleIdentifier", "x"}}));
        writeService(bundle, dict({{"HALVARD_APP_ID", "app"}}));
        FakeKits kits;
        kits.link(kits.kit("Quellix"));
        log_.clear();
        auto sdk = make();
        sdk->setDebug(true);
        postReady();
        EXPECT_EQ(sdk->installationMode(), 2u);
        EXPECT_EQ(kits.started.size(), starts ? 1u : 0u);
        EXPECT_EQ(log_.contains("[Tarnel] Quellix initialization disabled via Info.plist key "
                                "orvelle_quellix_collection_enabled"),
                  !starts);
    }
}

TEST_F(OrvelleTest, WhatIsMissingIsLogged) {
    {
        FixtureBundle bundle("nokit", dict({{"CFBundleIdentifier", "x"}}));
        auto sdk = make();
        postReady();
        EXPECT_TRUE(
            log_.contains("[Tarnel] [Tarnel] Attempting to initialize Quellix via Orvelle "
                          "but could not find Quellix."));
    }
    const std::vector<std::pair<std::optional<plist::Dictionary>, std::string>> cases = {
        {std::nullopt, "[Tarnel] HalvardService-Info.plist path unavailable"},
        {dict({{"OTHER", "x"}}),
         "[Tarnel] HalvardService-Info.plist key HALVARD_APP_ID unavailable"},
        {dict({{"HALVARD_APP_ID", ""}}),
         "[Tarnel] HalvardService-Info.plist key HALVARD_APP_ID unavailable"},
    };
    for (const auto& [service, message] : cases) {
        FixtureBundle bundle("service", dict({{"CFBundleIdentifier", "x"}}));
        if (service) writeService(bundle, *service);
        FakeKits kits;
        kits.link(kits.kit("Quellix"));
        log_.clear();
        auto sdk = make();
        postReady();
        EXPECT_TRUE(log_.contains(message)) << message;
        EXPECT_TRUE(kits.started.empty());
        EXPECT_EQ(sdk->APIKey(), std::nullopt);
    }
}

}  // namespace
}  // namespace wv

namespace wv {
namespace {

// The process-wide hook watches for the notification once, however often it is installed.
TEST(OrvelleLoadHook, WatchesOnceForTheSharedObject) {
    // A bundle of its own: the program's bundle names the SDK's key, and then the Orvelle
    // path rightly does nothing.
    FixtureBundle bundle("load-hook", dict({{"CFBundleIdentifier", "com.example.app"}}));
    LogCapture log;
    Tarnel::load();
    Tarnel::load();
    const std::string missing =
        "[Tarnel] [Tarnel] Attempting to initialize Quellix via Orvelle but could not find "
        "Quellix.";
    NotificationCenter::defaultCenter().post(Tarnel::kOrvelleReadyNotification);
    EXPECT_EQ(log.count(missing), 1u);
    EXPECT_TRUE(Tarnel::sharedSDK().orvelleMode());
    NotificationCenter::defaultCenter().post(Tarnel::kOrvelleReadyNotification);
    EXPECT_EQ(log.count(missing), 1u);
}

}  // namespace
}  // namespace wv
