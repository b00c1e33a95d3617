#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>

#include "TestSupport.h"
#include "platform/foundation/Folders.h"
#include "platform/foundation/Log.h"
#include "sdk/core/QXUserDefaults.h"

namespace wv {
namespace {

class QXUserDefaultsTest : public ::testing::Test {
  protected:
    QXUserDefaultsTest()
        : base_(Folders::dataHome() /
                ::testing::UnitTest::GetInstance()->current_test_info()->name()),
          platform_("com.example.app", base_ / "platform" / "UserDefaults.plist") {}
    ~QXUserDefaultsTest() override { std::filesystem::remove_all(base_); }

    std::filesystem::path base_;
    UserDefaults platform_;
    LogCapture log_;
};

TEST_F(QXUserDefaultsTest, FolderFollowsTheEscapedBundleIdentifier) {
    const std::vector<std::pair<std::optional<std::string>, std::filesystem::path>> cases = {
        {"com.example.app", "com.example.app/com.quellix"},
        {"com.example_beta", "com.example_beta/com.quellix"},
        {std::nullopt, "com.quellix"},
    };
    for (const auto& [identifier, relative] : cases) {
        QXUserDefaults store(base_, identifier, nullptr);
        EXPECT_EQ(store.directoryURL(), base_ / relative);
        EXPECT_EQ(store.fileURL(), base_ / relative / "QXUserDefaults.plist");
    }
}

TEST_F(QXUserDefaultsTest, ValuesReachTheDiskOnlyWhenSynchronised) {
    QXUserDefaults store(base_, "app", nullptr);
    EXPECT_FALSE(std::filesystem::exists(store.fileURL()));
    store.synchronize();
    EXPECT_FALSE(store.synchronizeWroteToDisk());
    EXPECT_FALSE(std::filesystem::exists(store.directoryURL()));

    store.setString("ABC", "com.quellix.iuuid");
    store.setBool(true, "flag");
    EXPECT_FALSE(std::filesystem::exists(store.fileURL()));
    store.synchronize();
    EXPECT_TRUE(store.synchronizeWroteToDisk());
    store.synchronize();
    EXPECT_FALSE(store.synchronizeWroteToDisk());

    QXUserDefaults reread(base_, "app", nullptr);
    EXPECT_EQ(reread.stringForKey("com.quellix.iuuid"), "ABC");
    EXPECT_TRUE(reread.boolForKey("flag"));
    EXPECT_EQ(reread.persistedDataDictionary(), reread.dictionaryRepresentation());
    reread.removeObjectForKey("flag");
    reread.synchronize();
    EXPECT_TRUE(reread.synchronizeWroteToDisk());
    EXPECT_FALSE(QXUserDefaults(base_, "app", nullptr).objectForKey("flag"));
    reread.removeAllObjects();
    EXPECT_TRUE(reread.dictionaryRepresentation().empty());
}

TEST_F(QXUserDefaultsTest, TypedReads) {
    QXUserDefaults store(base_, "app", nullptr);
    store.setObject(plist::Value("1"), "string one");
    store.setObject(plist::Value(int64_t(1)), "number one");
    store.setObject(plist::Value(0.5), "half");
    store.setObject(plist::Value(false), "no");
    store.setObject(plist::Value(plist::Data{1}), "data");
    struct Case {
        const char* key;
        bool asBool;
        std::optional<std::string> asString;
    };
    const std::vector<Case> cases = {
        {"string one", false, "1"},    {"number one", true, std::nullopt},
        {"half", true, std::nullopt},  {"no", false, std::nullopt},
        {"data", false, std::nullopt}, {"missing", false, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(store.boolForKey(c.key), c.asBool) << c.key;
        EXPECT_EQ(store.stringForKey(c.key), c.asString) << c.key;
    }
    store.setObject(std::nullopt, "half");
    EXPECT_FALSE(store.objectForKey("half"));
}

TEST_F(QXUserDefaultsTest, BrokenFilesStartEmptyWithTheirMessages) {
    const auto dir = base_ / "app" / "com.quellix";
    testing::writeText(dir / "QXUserDefaults.plist", "<plist><dict><key>x</key>");
    {
        QXUserDefaults store(base_, "app", nullptr);
        EXPECT_TRUE(store.dictionaryRepresentation().empty());
        EXPECT_TRUE(
            log_.contains("[Tarnel:UserDefaults] failed to read existing UserDefaults file"));
        // The broken file is replaced by the first write.
        store.setString("v", "k");
        store.synchronize();
        EXPECT_EQ(QXUserDefaults(base_, "app", nullptr).stringForKey("k"), "v");
    }
    std::filesystem::remove(dir / "QXUserDefaults.plist");
    std::filesystem::create_directories(dir / "QXUserDefaults.plist" / "inside");
    QXUserDefaults store(base_, "app", nullptr);
    EXPECT_TRUE(store.dictionaryRepresentation().empty());
    EXPECT_TRUE(
        log_.contains("[Tarnel:UserDefaults] found directory where file expected. "
                      "Removing conflicting directory"));
    EXPECT_FALSE(std::filesystem::exists(dir / "QXUserDefaults.plist"));
}

// A write that fails is tried again by the next synchronize, and nothing is lost meanwhile.
TEST_F(QXUserDefaultsTest, AFailedWriteIsRetried) {
    testing::writeText(base_ / "app", "a file where the folder should be");
    QXUserDefaults store(base_, "app", nullptr);
    store.setString("v", "k");
    store.synchronize();
    EXPECT_TRUE(store.synchronizeWroteToDisk());
    EXPECT_TRUE(log_.contains("[Tarnel:UserDefaults] Unable to open file for writing at path " +
                              store.fileURL().string()));
    EXPECT_TRUE(store.persistedDataDictionary().empty());
    std::filesystem::remove(base_ / "app");
    store.synchronize();
    EXPECT_TRUE(store.synchronizeWroteToDisk());
    EXPECT_EQ(QXUserDefaults(base_, "app", nullptr).stringForKey("k"), "v");
}

TEST_F(QXUserDefaultsTest, MigrationMovesAValueOnce) {
    platform_.setObject("com.quellix.iuuid", plist::Value("OLD-ID"));
    QXUserDefaults store(base_, "app", &platform_);
    EXPECT_EQ(store.objectForKeyByMigratingFromNSUserDefaults(std::nullopt), std::nullopt);
    EXPECT_EQ(store.objectForKeyByMigratingFromNSUserDefaults("missing"), std::nullopt);
    EXPECT_EQ(store.objectForKeyByMigratingFromNSUserDefaults("com.quellix.iuuid"),
              plist::Value("OLD-ID"));
    EXPECT_FALSE(platform_.objectForKey("com.quellix.iuuid"));
    EXPECT_EQ(QXUserDefaults(base_, "app", nullptr).stringForKey("com.quellix.iuuid"), "OLD-ID");
    // The store's own value wins from now on.
    platform_.setObject("com.quellix.iuuid", plist::Value("NEWER"));
    EXPECT_EQ(store.objectForKeyByMigratingFromNSUserDefaults("com.quellix.iuuid"),
              plist::Value("OLD-ID"));
}

TEST_F(QXUserDefaultsTest, MigrationKeepsTheOldValueUntilTheNewOneIsWritten) {
    platform_.setObject("k", plist::Value("kept"));
    testing::writeText(base_ / "app", "blocks the folder");
    QXUserDefaults store(base_, "app", &platform_);
    EXPECT_EQ(store.objectForKeyByMigratingFromNSUserDefaults("k"), plist::Value("kept"));
    EXPECT_EQ(platform_.objectForKey("k"), plist::Value("kept"));
}

TEST_F(QXUserDefaultsTest, BulkMigration) {
    platform_.setObject("a", plist::Value(int64_t(1)));
    platform_.setObject("c", plist::Value("three"));
    QXUserDefaults store(base_, "app", &platform_);
    store.migrateFromNSUserDefaults({"x", "y"});
    EXPECT_FALSE(std::filesystem::exists(store.fileURL()));
    store.migrateFromNSUserDefaults({"a", "b", "c"});
    EXPECT_FALSE(platform_.objectForKey("a"));
    EXPECT_FALSE(platform_.objectForKey("c"));
    QXUserDefaults reread(base_, "app", nullptr);
    EXPECT_EQ(reread.objectForKey("a"), plist::Value(int64_t(1)));
    EXPECT_EQ(reread.stringForKey("c"), "three");
    EXPECT_FALSE(reread.objectForKey("b"));
}

TEST_F(QXUserDefaultsTest, ManyThreadsSetAndSynchronise) {
    QXUserDefaults store(base_, "app", nullptr);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) {
                store.setObject(plist::Value(int64_t(i)), "t" + std::to_string(t));
                if (i % 10 == 0) store.synchronize();
            }
        });
    }
    for (auto& thread : threads) thread.join();
    store.synchronize();
    QXUserDefaults reread(base_, "app", nullptr);
    for (int t = 0; t < 4; ++t) {
        EXPECT_EQ(reread.objectForKey("t" + std::to_string(t)), plist::Value(int64_t(49)));
    }
}

}  // namespace
}  // namespace wv
