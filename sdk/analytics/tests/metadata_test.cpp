#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "AnalyticsFixtures.h"
#include "platform/foundation/Log.h"
#include "sdk/analytics/PLRMetadata.h"
#include "sdk/core/TRNHost.h"
#include "sdk/core/Tarnel.h"

namespace wv {
namespace {

using json = nlohmann::ordered_json;

std::vector<std::string> keys(const json& object) {
    std::vector<std::string> out;
    for (auto it = object.begin(); it != object.end(); ++it) out.push_back(it.key());
    return out;
}

class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value, 1);
    }
    ~ScopedEnv() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

class PLRMetadataTest : public ::testing::Test {
  protected:
    PLRMetadataTest() { tarnel_.setAPIKey("KEY-123"); }

    LogCapture log_;
    ScopedEnv locale_{"LC_ALL", "de_DE.UTF-8"};
    testing::HostRun run_{testing::HostRun::info()};
    Tarnel& tarnel_ = run_.tarnel();
};

TEST_F(PLRMetadataTest, DictionaryKeysInOrderWithTheRunsFacts) {
    const PLRMetadata metadata(tarnel_, std::string("2:beta-42"));
    const json d = metadata.dictionaryRepresentationWithStartTime(1700000123);
    std::vector<std::string> expected = {"generator",
                                         "api_key",
                                         "session_id",
                                         "started_at",
                                         "beta_tester_token",
                                         "links_ad_support",
                                         "advertising_tracking_enabled",
                                         "install_id",
                                         "model",
                                         "machine",
                                         "locale",
                                         "os_build",
                                         "os_version",
                                         "platform",
                                         "platform_code",
                                         "cores",
                                         "jailbroken",
                                         "bundle_id",
                                         "bundle_version",
                                         "bundle_short_version",
                                         "instance_id"};
    // Facts this host cannot give are left out, not written empty.
    auto drop = [&](const char* key) { std::erase(expected, std::string(key)); };
    if (!TRNHostModel()) drop("model"), drop("machine");
    if (!TRNHostOSBuildVersion()) drop("os_build");
    if (!tarnel_.instanceIdentifier()) drop("instance_id");
    EXPECT_EQ(keys(d), expected);

    EXPECT_EQ(d["generator"], "Plurio Mac SDK/1.3.7");
    EXPECT_EQ(d["api_key"], "KEY-123");
    EXPECT_EQ(d["session_id"], tarnel_.executionIdentifier());
    EXPECT_EQ(d["started_at"], 1700000123u);
    EXPECT_EQ(d["beta_tester_token"], "beta-42");
    EXPECT_EQ(d["links_ad_support"], false);
    EXPECT_EQ(d["advertising_tracking_enabled"], false);
    EXPECT_EQ(d["install_id"], tarnel_.installID());
    EXPECT_EQ(d.value("model", json()), d.value("machine", json()));
    EXPECT_EQ(d["locale"], "de_DE");
    EXPECT_EQ(d["os_version"], TRNHostOSDisplayVersion());
    EXPECT_EQ(d["platform"], "Mac");
    EXPECT_EQ(d["platform_code"], 0);
    EXPECT_EQ(d["cores"], sysconf(_SC_NPROCESSORS_CONF));
    EXPECT_EQ(d["jailbroken"], false);
    EXPECT_EQ(d["bundle_id"], "com.example.app");
    EXPECT_EQ(d["bundle_version"], "412");
    EXPECT_EQ(d["bundle_short_version"], "2.3.1");
    EXPECT_EQ(metadata.eventName(), "metadata");
}

TEST_F(PLRMetadataTest, NoBetaTokenNoAdvertisingNoKey) {
    tarnel_.setAPIKey(std::nullopt);
    const json d = PLRMetadata(tarnel_, std::nullopt).dictionaryRepresentationWithStartTime(0);
    EXPECT_FALSE(d.contains("beta_tester_token"));
    EXPECT_FALSE(d.contains("advertising_id"));
    EXPECT_EQ(d["started_at"], 0);
}

TEST(PLRMetadata, UnwrapsOnlySecondGenerationBetaTokens) {
    struct Case {
        std::optional<std::string> token;
        std::optional<std::string> unwrapped;
    };
    const Case cases[] = {
        {"2:abc", "abc"},        {"2:", ""},
        {"1:abc", std::nullopt}, {"abc", std::nullopt},
        {"2:a:b", std::nullopt}, {"22:abc", std::nullopt},
        {":abc", std::nullopt},  {std::nullopt, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PLRMetadata::unwrapBetaToken(c.token), c.unwrapped) << c.token.value_or("(none)");
}

}  // namespace
}  // namespace wv
