#include "sdk/core/TRNSettings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <thread>

#include "TarnelFixtures.h"
#include "platform/foundation/Folders.h"
#include "platform/foundation/Log.h"

namespace wv {
namespace {

using testing::dict;
using testing::FixtureBundle;

const std::string kCouldNotLoad = "[Tarnel] Could not load settings with error: ";

class TRNSettingsTest : public ::testing::Test {
  protected:
    TRNSettingsTest()
        : path_(Folders::cacheHome() / "settings-model" /
                ::testing::UnitTest::GetInstance()->current_test_info()->name() / "settings.json") {
        std::filesystem::remove_all(path_.parent_path());
        std::filesystem::create_directories(path_.parent_path());
    }
    ~TRNSettingsTest() override { std::filesystem::remove_all(path_.parent_path()); }

    std::filesystem::path path_;
    LogCapture log_;
};

TEST_F(TRNSettingsTest, NoFileReadsAsAbsent) {
    TRNSettings settings(path_);
    EXPECT_EQ(settings.settingsDictionary(), nullptr);
    EXPECT_EQ(settings.appSettings(), std::nullopt);
    EXPECT_EQ(settings.appStatus(), std::nullopt);
    EXPECT_FALSE(settings.appNeedsOnboarding());
    EXPECT_FALSE(settings.appUpdateRequired());
    EXPECT_TRUE(log_.lines().empty());
}

struct AppCase {
    const char* name;
    const char* document;
    std::optional<std::string> status;
    bool needsOnboarding;
    bool updateRequired;
};

TEST_F(TRNSettingsTest, TheAppSectionAsTheFlowReadsIt) {
    const std::vector<AppCase> cases = {
        {"new", R"({"app":{"status":"new"}})", "new", true, false},
        {"activated, update", R"({"app":{"status":"activated","update_required":true}})",
         "activated", false, true},
        {"null section", R"({"app":null})", std::nullopt, false, false},
        {"null status", R"({"app":{"status":null,"update_required":false}})", std::nullopt, false,
         false},
        {"section is an array", R"({"app":["new"]})", std::nullopt, false, false},
        {"section is text", R"({"app":"new"})", std::nullopt, false, false},
        {"status is a number", R"({"app":{"status":1}})", std::nullopt, false, false},
        {"status differs in case", R"({"app":{"status":"NEW"}})", "NEW", false, false},
        {"update as number", R"({"app":{"update_required":1}})", std::nullopt, false, true},
        {"update as zero", R"({"app":{"update_required":0.0}})", std::nullopt, false, false},
        {"update as text yes", R"({"app":{"update_required":"YES"}})", std::nullopt, false, true},
        {"update as text no", R"({"app":{"update_required":"no"}})", std::nullopt, false, false},
        {"update as object", R"({"app":{"update_required":{"a":1}}})", std::nullopt, false, false},
        {"update as null", R"({"app":{"update_required":null}})", std::nullopt, false, false},
        {"no app section", R"({"features":{"collect_reports":true}})", std::nullopt, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::writeText(path_, c.document);
        TRNSettings settings(path_);
        ASSERT_NE(settings.settingsDictionary(), nullptr);
        EXPECT_EQ(settings.appStatus(), c.status);
        EXPECT_EQ(settings.appNeedsOnboarding(), c.needsOnboarding);
        EXPECT_EQ(settings.appUpdateRequired(), c.updateRequired);
        EXPECT_TRUE(std::filesystem::exists(path_));  // a valid document is kept
    }
    EXPECT_TRUE(log_.lines().empty());
}

TEST_F(TRNSettingsTest, ADocumentThatIsNoObjectIsDeletedAndLoggedOnce) {
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"not JSON", "{\"app\": {\"status\": \"new\""},
        {"empty file", ""},
        {"top level is an array", "[{\"app\":{\"status\":\"new\"}}]"},
        {"top level is a string", "\"new\""},
        {"top level is null", "null"},
        {"binary", std::string("\x89PNG\r\n\x1a\n\0\0", 10)},
    };
    for (const auto& [name, document] : cases) {
        SCOPED_TRACE(name);
        log_.clear();
        testing::writeText(path_, document);
        TRNSettings settings(path_);
        EXPECT_EQ(settings.settingsDictionary(), nullptr);
        EXPECT_FALSE(settings.appNeedsOnboarding());
        EXPECT_EQ(settings.settingsDictionary(), nullptr);
        EXPECT_FALSE(std::filesystem::exists(path_));
        const auto lines = log_.lines();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].rfind(kCouldNotLoad, 0), 0u) << lines[0];
    }
}

// Whatever stands in the file's place that is no readable document of sane size reads as
// absent at once (a pipe or a device would block or never end) and is left alone.
TEST_F(TRNSettingsTest, WhatIsNoReadableDocumentReadsAsAbsentAndStays) {
    const std::vector<std::pair<const char*, std::function<void(const std::filesystem::path&)>>>
        cases = {
            {"huge file",
             [](const auto& p) {
                 testing::writeText(
                     p, "{\"pad\":\"" + std::string(TRNSettings::kMaximumFileSize, 'x') + "\"}");
             }},
            {"folder", [](const auto& p) { std::filesystem::create_directories(p / "inner"); }},
            {"named pipe", [](const auto& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }},
            {"link to an endless device",
             [](const auto& p) { std::filesystem::create_symlink("/dev/zero", p); }},
            {"dangling link",
             [](const auto& p) { std::filesystem::create_symlink(p.string() + ".gone", p); }},
        };
    for (const auto& [name, make] : cases) {
        SCOPED_TRACE(name);
        std::filesystem::remove_all(path_);
        make(path_);
        TRNSettings settings(path_);
        EXPECT_EQ(settings.settingsDictionary(), nullptr);
        EXPECT_FALSE(settings.appNeedsOnboarding());
        EXPECT_TRUE(std::filesystem::exists(std::filesystem::symlink_status(path_)));
    }
    EXPECT_TRUE(log_.lines().empty());
}

TEST_F(TRNSettingsTest, AnUnreadableFileReadsAsAbsent) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    testing::writeText(path_, R"({"app":{"status":"new"}})");
    std::filesystem::permissions(path_, std::filesystem::perms::none);
    TRNSettings settings(path_);
    EXPECT_EQ(settings.settingsDictionary(), nullptr);
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all);
}

TEST_F(TRNSettingsTest, TheDocumentIsHeldUntilClearedAndReadersKeepTheirCopy) {
    testing::writeText(path_, R"({"app":{"status":"new"}})");
    TRNSettings settings(path_);
    const auto first = settings.settingsDictionary();
    ASSERT_NE(first, nullptr);
    testing::writeText(path_, R"({"app":{"status":"activated"}})");
    EXPECT_EQ(settings.settingsDictionary(), first);  // not read again
    EXPECT_TRUE(settings.appNeedsOnboarding());

    settings.clearSettingsDictionary();
    EXPECT_EQ(settings.appStatus(), "activated");
    EXPECT_EQ((*first)["app"]["status"], "new");  // the old reader's document is intact
}

TEST_F(TRNSettingsTest, ConcurrentReadersWhileTheDocumentIsSwapped) {
    testing::writeText(path_, R"({"app":{"status":"new"},"features":{"collect_reports":true}})");
    TRNSettings settings(path_);
    std::atomic<bool> stop{false};
    std::atomic<int> absent{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 4; ++i) {
        readers.emplace_back([&] {
            while (!stop) {
                auto doc = settings.settingsDictionary();
                if (!doc || !(*doc)["features"]["collect_reports"].get<bool>()) ++absent;
            }
        });
    }
    for (int i = 0; i < 2000; ++i) settings.clearSettingsDictionary();
    stop = true;
    for (auto& t : readers) t.join();
    EXPECT_EQ(absent, 0);
}

struct URLCase {
    const char* name;
    plist::Dictionary info;
    std::string endpoint;
    std::optional<std::string> url;
};

TEST_F(TRNSettingsTest, SettingsURL) {
    const std::vector<URLCase> cases = {
        {"every parameter",
         dict({{"CFBundleIdentifier", "com.example.app"},
               {"CFBundleVersion", "42"},
               {"CFBundleShortVersionString", "1.2"}}),
         "https://settings.example",
         "https://settings.example/spi/v2/platforms/mac/apps/com.example.app/settings"
         "?build_version=42&display_version=1.2&instance=abc&source=1"},
        {"slash in the identifier, signed",
         dict({{"CFBundleIdentifier", "org/example app"},
               {"CFBundleVersion", "7 b"},
               {"CFBundleShortVersionString", "1&2"},
               {"QuellixSignedForDistribution", true}}),
         "http://127.0.0.1:8080",
         "http://127.0.0.1:8080/spi/v2/platforms/mac/apps/org_example%20app/settings"
         "?build_version=7%20b&display_version=1%262&instance=abc&source=3"},
        {"no versions", dict({{"CFBundleIdentifier", "com.example.app"}}), "https://s.example",
         "https://s.example/spi/v2/platforms/mac/apps/com.example.app/settings"
         "?instance=abc&source=1"},
        {"empty endpoint", dict({{"CFBundleIdentifier", "com.example.app"}}), "", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FixtureBundle bundle("settings-url", c.info);
        EXPECT_EQ(TRNSettings::settingsURLForEndpoint(c.endpoint, "abc"), c.url);
    }
}

}  // namespace
}  // namespace wv
