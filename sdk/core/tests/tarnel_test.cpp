#include "sdk/core/Tarnel.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "TarnelFixtures.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "sdk/core/QXUserDefaults.h"
#include "sdk/core/TRNApplicationIdentiferModel.h"
#include "sdk/core/TRNException.h"
#include "sdk/core/TRNSettingsOnboardingManager.h"

namespace wv {
namespace {

using testing::dict;
using testing::FakeKits;
using testing::FixtureBundle;
using testing::infoWithKey;

const std::string kMultiple =
    "[Tarnel] [Tarnel +with] called multiple times. Only the first call is honored, please pass "
    "all kits you wish to initialize";

std::vector<std::string> names(const std::vector<const TRNKitClass*>& kits) {
    std::vector<std::string> out;
    for (const auto* kit : kits) out.push_back(kit->name);
    return out;
}

class TarnelTest : public ::testing::Test {
  protected:
    TarnelTest()
        : base_(Folders::dataHome() / "tarnel" /
                ::testing::UnitTest::GetInstance()->current_test_info()->name()),
          store_(base_, "com.example.app", nullptr) {}
    ~TarnelTest() override { std::filesystem::remove_all(base_); }

    std::unique_ptr<Tarnel> make() {
        return std::make_unique<Tarnel>(store_, std::filesystem::path());
    }
    // The start handed over to the settings manager: with no endpoint configured (as in every
    // test here) its conversation ends as soon as it begins.
    static bool handedOver(Tarnel& sdk) {
        return sdk.settingsAndOnboardingManager()->waitForNetworkingSessionToFinish(0);
    }

    std::filesystem::path base_;
    QXUserDefaults store_;
    LogCapture log_;
};

TEST_F(TarnelTest, IdentityIsKeptInTheStore) {
    auto first = make();
    EXPECT_TRUE(first->isFirstInstall());
    EXPECT_TRUE(std::regex_match(first->installID(),
                                 std::regex("[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}")));
    EXPECT_TRUE(std::regex_match(first->executionIdentifier(), std::regex("[0-9a-f]{32}")));
    EXPECT_EQ(QXUserDefaults(base_, "com.example.app", nullptr).stringForKey("com.quellix.iuuid"),
              first->installID());
    ASSERT_TRUE(first->applicationIdentifierModel());
    EXPECT_EQ(first->instanceIdentifier(),
              first->applicationIdentifierModel()->instanceIdentifier());
    EXPECT_EQ(first->settingsAndOnboardingManager()->appIdentifierModel(),
              first->applicationIdentifierModel());  // the manager is made with it

    auto second = make();
    EXPECT_FALSE(second->isFirstInstall());
    EXPECT_EQ(second->installID(), first->installID());
    EXPECT_NE(second->executionIdentifier(), first->executionIdentifier());
}

struct KitListCase {
    const char* name;
    std::vector<std::string> linked;  // by name, beside the kits in the list
    std::vector<std::string> list;
    std::vector<std::string> kitClasses;
    std::vector<std::string> started;
};

TEST_F(TarnelTest, KitListRules) {
    const std::vector<KitListCase> cases = {
        {"the crash kit brings the analytics kit",
         {"Quellix", "Plurio"},
         {"Quellix"},
         {"Quellix", "Plurio"},
         {"Quellix", "Plurio"}},
        {"no second analytics kit",
         {"Quellix", "Plurio"},
         {"Quellix", "Plurio"},
         {"Quellix", "Plurio"},
         {"Quellix", "Plurio"}},
        {"analytics kit not linked", {"Quellix"}, {"Quellix"}, {"Quellix"}, {"Quellix"}},
        {"analytics kit only with the crash kit",
         {"Plurio", "Other"},
         {"Other"},
         {"Other"},
         {"Other"}},
        {"Appsee comes first",
         {"Other", "Appsee", "Quellix", "Plurio"},
         {"Other", "Quellix", "Appsee"},
         {"Appsee", "Other", "Quellix", "Plurio"},
         {"Appsee", "Other", "Quellix", "Plurio"}},
        {"an unlinked Appsee stays",
         {"Other"},
         {"Other", "Appsee"},
         {"Other", "Appsee"},
         {"Other", "Appsee"}},
        {"Halvard ads bring the stub kit last",
         {"Quellix", "HADReachAds"},
         {"Quellix"},
         {"Quellix", "AdReachKit"},
         {"Quellix"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FixtureBundle bundle("kits", infoWithKey());
        FakeKits kits;
        std::map<std::string, TRNKitClass*> byName;
        for (const char* n : {"Quellix", "Plurio", "Other", "Appsee"}) {
            byName[n] = &kits.kit(n);
        }
        for (const auto& n : c.linked) {
            if (byName.count(n)) {
                kits.link(*byName[n]);
            } else {
                kits.linkName(n);
            }
        }
        std::vector<TRNKitArgument> list;
        for (const auto& n : c.list) list.push_back(byName.at(n));
        auto sdk = make();
        sdk->start(list);
        EXPECT_EQ(names(sdk->kitClasses()), c.kitClasses);
        EXPECT_EQ(kits.started, c.started);
        ASSERT_TRUE(handedOver(*sdk));
        EXPECT_EQ(sdk->settingsAndOnboardingManager()->APIKey(), "KEY-123");
    }
}

TEST_F(TarnelTest, InstancesStandForTheirClassesAndOlderKitsStart) {
    FixtureBundle bundle("instances", infoWithKey());
    FakeKits kits;
    const TRNKitClass& modern = kits.kit("Modern", "io.tarnel.sdk.mac");
    const TRNKitClass& old = kits.legacy("Old", true);
    auto sdk = make();
    sdk->setDebug(true);
    sdk->start({TRNKitInstance{&modern}, &old});
    EXPECT_EQ(names(sdk->kitClasses()), (std::vector<std::string>{"Modern", "Old"}));
    EXPECT_EQ(kits.started, (std::vector<std::string>{"Modern", "Old"}));
    EXPECT_TRUE(log_.contains("[Tarnel] Please upgrade to the latest version of \"Old\""));
    // The core's own row wins over a kit that claims its identifier.
    const std::map<std::string, std::string> versions = {{"io.tarnel.sdk.mac", "1.7.5"},
                                                         {"com.legacy.Old", "0.9"}};
    EXPECT_EQ(sdk->kitVersionsByKitBundleIdentifier(), versions);
    EXPECT_EQ(sdk->settingsAndOnboardingManager()->kitVersionsByKitBundleIdentifier(), versions);
    EXPECT_TRUE(log_.contains(
        "[Tarnel] Initialized with kit versions: {\n    \"com.legacy.Old\" = \"0.9\";\n    "
        "\"io.tarnel.sdk.mac\" = \"1.7.5\";\n}"));
}

TEST_F(TarnelTest, ANonKitRaisesBeforeAnyKitStarts) {
    const std::vector<std::pair<std::string, bool>> cases = {{"NotAKit", false}, {"HalfOld", true}};
    for (const auto& [bad, legacy] : cases) {
        SCOPED_TRACE(bad);
        FixtureBundle bundle("nonkit", infoWithKey());
        FakeKits kits;
        const TRNKitClass& good = kits.kit("Good");
        const TRNKitClass& wrong = legacy ? kits.legacy(bad, false) : kits.kit(bad, "", false);
        auto sdk = make();
        try {
            sdk->start({&good, &wrong});
            ADD_FAILURE() << "no exception";
        } catch (const TRNException& e) {
            EXPECT_STREQ(e.name(), "TRNException");
            EXPECT_EQ(e.reason(), "[Tarnel] It appears that \"" + bad +
                                      "\" is not a valid Tarnel Kit. Please make sure you only "
                                      "pass Tarnel Kits to [Tarnel with:].");
        }
        EXPECT_TRUE(kits.started.empty());
        EXPECT_FALSE(handedOver(*sdk));
        // A start that raised counts as done.
        log_.clear();
        sdk->start({&good});
        EXPECT_TRUE(log_.contains(kMultiple));
        EXPECT_TRUE(kits.started.empty());
    }
}

TEST_F(TarnelTest, ASecondCallLogsAndStartsNothing) {
    FixtureBundle bundle("twice", infoWithKey());
    FakeKits kits;
    const TRNKitClass& a = kits.kit("A");
    const TRNKitClass& b = kits.kit("B");
    auto sdk = make();
    EXPECT_EQ(&sdk->start({&a}), sdk.get());
    EXPECT_FALSE(log_.contains(kMultiple));
    EXPECT_EQ(&sdk->start({&b}), sdk.get());
    EXPECT_EQ(log_.count(kMultiple), 1u);
    EXPECT_EQ(kits.started, std::vector<std::string>{"A"});
    EXPECT_TRUE(handedOver(*sdk));
}

TEST_F(TarnelTest, ConcurrentFirstCallsStartOnce) {
    FixtureBundle bundle("threads", infoWithKey());
    FakeKits kits;
    const TRNKitClass& a = kits.kit("A");
    auto sdk = make();
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) threads.emplace_back([&] { sdk->start({&a}); });
    for (auto& t : threads) t.join();
    EXPECT_EQ(kits.started, std::vector<std::string>{"A"});
    EXPECT_EQ(log_.count(kMultiple), 3u);
}

struct InfoCase {
    const char* name;
    std::optional<plist::Dictionary> info;
    std::optional<std::string> reason;  // none: no exception
    bool kitsMessage;
};

TEST_F(TarnelTest, InfoPlistMessages) {
    const std::string kits =
        "[Tarnel] [Tarnel] Value of Info.plist[Tarnel][Kits] should be a NSArray.";
    const std::vector<InfoCase> cases = {
        {"no Info.plist", std::nullopt, "[Tarnel] Cannot find Info.plist.", false},
        {"no Tarnel entry", dict({{"CFBundleIdentifier", "x"}}),
         "[Tarnel] Value of Info.plist key \"Tarnel\" must be a NSDictionary.", false},
        {"Tarnel is a string", dict({{"Tarnel", "KEY"}}),
         "[Tarnel] Value of Info.plist key \"Tarnel\" must be a NSDictionary.", false},
        {"no API key", dict({{"Tarnel", dict({{"Kits", plist::Array{}}})}}),
         "[Tarnel] Value of Info.plist[Tarnel][APIKey] must contain your Tarnel API Key.", false},
        {"API key a number", dict({{"Tarnel", dict({{"APIKey", 5}})}}),
         "[Tarnel] Value of Info.plist[Tarnel][APIKey] must contain your Tarnel API Key.", true},
        {"kits missing", dict({{"Tarnel", dict({{"APIKey", "K"}})}}), std::nullopt, true},
        {"kits a dictionary", dict({{"Tarnel", dict({{"APIKey", "K"}, {"Kits", dict({})}})}}),
         std::nullopt, true},
        {"all well", infoWithKey(), std::nullopt, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FixtureBundle bundle("info", c.info);
        FakeKits fakes;
        const TRNKitClass& kit = fakes.kit("K");
        log_.clear();
        auto sdk = make();
        std::optional<std::string> reason;
        try {
            sdk->start({&kit});
        } catch (const TRNException& e) {
            reason = e.reason();
        }
        EXPECT_EQ(reason, c.reason);
        EXPECT_EQ(log_.contains(kits), c.kitsMessage);
        EXPECT_EQ(sdk->installationMode(), c.reason ? 0u : 1u);
        EXPECT_EQ(fakes.started,
                  c.reason ? std::vector<std::string>{} : std::vector<std::string>{"K"});
    }
}

TEST_F(TarnelTest, AMalformedInfoPlistIsNoInfoPlist) {
    FixtureBundle bundle("malformed", std::nullopt);
    testing::writeText(bundle.root() / "Info.plist", "<plist><dict><key>Tarnel</key><dict>");
    FakeKits kits;
    const TRNKitClass& a = kits.kit("A");
    auto sdk = make();
    try {
        sdk->start({&a});
        ADD_FAILURE() << "no exception";
    } catch (const TRNException& e) {
        EXPECT_EQ(e.reason(), "[Tarnel] Cannot find Info.plist.");
    }
    EXPECT_TRUE(kits.started.empty());
}

TEST_F(TarnelTest, WithoutAnAPIKeyNothingStarts) {
    FixtureBundle bundle("nokey", infoWithKey());
    FakeKits kits;
    const TRNKitClass& a = kits.kit("A");
    auto sdk = make();
    sdk->setTarnelConfig(dict({{"Kits", plist::Array{}}}));
    sdk->start({&a});
    EXPECT_TRUE(
        log_.contains("[Tarnel] Tarnel API Key is nil! Tarnel won't work unless there is a "
                      "valid API Key setup in Info.plist"));
    EXPECT_TRUE(kits.started.empty());
    EXPECT_FALSE(handedOver(*sdk));
    sdk->start({&a});
    EXPECT_TRUE(log_.contains(kMultiple));
    // A key set later is used as it is.
    sdk->setAPIKey("LATER");
    EXPECT_EQ(sdk->APIKey(), "LATER");
}

TEST_F(TarnelTest, KitConfigurationDictionaries) {
    plist::Array entries = {
        dict({{"KitName", "Quellix"}, {"KitInfo", dict({{"a", 1}})}}),
        dict({{"KitName", "Plurio"}}),
        dict({{"KitName", "Quellix"}, {"KitInfo", dict({{"b", 2}})}}),
        "not a dictionary",
    };
    FixtureBundle bundle("config", dict({{"Tarnel", dict({{"APIKey", "K"}, {"Kits", entries}})}}));
    FakeKits kits;
    auto sdk = make();
    EXPECT_EQ(sdk->configurationDictionaryForKit(&kits.kit("Quellix")), dict({{"a", 1}}));
    EXPECT_EQ(sdk->configurationDictionaryForKit(TRNKitInstance{&kits.kit("Plurio")}),
              plist::Dictionary());
    EXPECT_EQ(sdk->configurationDictionaryForKit(&kits.kit("Other")), std::nullopt);
}

TEST_F(TarnelTest, GuardedPropertiesFromManyThreads) {
    FixtureBundle bundle("guarded", infoWithKey());
    auto sdk = make();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i) {
                if (t % 2) {
                    sdk->setAdvertisingToken("token-" + std::to_string(i));
                    sdk->setDebug(i % 2);
                } else {
                    auto token = sdk->advertisingToken();
                    EXPECT_TRUE(!token || token->rfind("token-", 0) == 0);
                    EXPECT_EQ(sdk->APIKey(), "KEY-123");
                }
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(sdk->advertisingToken(), "token-499");
}

}  // namespace
}  // namespace wv
