#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "platform/cloudkit/InstallationFile.h"

namespace wv::ck {
namespace {

std::filesystem::path folder(const char* name) {
    auto path = std::filesystem::path(std::getenv("XDG_DATA_HOME")) / name;
    std::filesystem::remove_all(path);
    return path;
}

TEST(InstallationFileTest, KeepsItsIdentityAndCopyAcrossRuns) {
    const auto support = folder("identity");
    std::string id;
    {
        InstallationFile file(support, "alice");
        id = file.identifier();
        file.setValue("config", plist::Value(int64_t(1)));
        file.apply({{"other", plist::Value("x")}}, 7);
    }
    InstallationFile again(support, "alice");
    EXPECT_EQ(again.identifier(), id);
    EXPECT_EQ(again.value("config"), plist::Value(int64_t(1)));
    EXPECT_EQ(again.value("other"), plist::Value("x"));
    EXPECT_EQ(again.cursor(), 7);
    EXPECT_TRUE(again.synced());
    EXPECT_TRUE(again.hasDirty());
    EXPECT_NE(InstallationFile(folder("another"), "alice").identifier(), id);
}

TEST(InstallationFileTest, AnotherAccountStartsFromAnEmptyCopy) {
    const auto support = folder("accounts");
    std::string id;
    {
        InstallationFile file(support, "alice");
        id = file.identifier();
        file.setValue("config", plist::Value(int64_t(1)));
        file.apply({{"k", plist::Value(int64_t(2))}}, 9);
    }
    InstallationFile bob(support, "bob");
    EXPECT_EQ(bob.identifier(), id) << "the installation stays itself";
    EXPECT_FALSE(bob.value("config"));
    EXPECT_FALSE(bob.hasDirty());
    EXPECT_EQ(bob.cursor(), 0);
    EXPECT_FALSE(bob.synced());
}

// A key set again while its earlier value was being sent stays to be sent; others' values
// never replace a key set here and not yet sent.
TEST(InstallationFileTest, LocalSetsWinOverWhatArrivesMeanwhile) {
    InstallationFile file(folder("dirty"), "alice");
    file.setValue("a", plist::Value(int64_t(1)));
    file.setValue("b", plist::Value(int64_t(1)));
    const auto sent = file.dirtyEntries();
    ASSERT_EQ(sent.size(), 2u);
    file.setValue("b", plist::Value(int64_t(2)));
    file.markSent(sent);
    const auto left = file.dirtyEntries();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].first, "b");
    const auto taken =
        file.apply({{"a", plist::Value(int64_t(5))}, {"b", plist::Value(int64_t(5))}}, 3);
    EXPECT_EQ(taken, std::vector<std::string>{"a"});
    EXPECT_EQ(file.value("a"), plist::Value(int64_t(5)));
    EXPECT_EQ(file.value("b"), plist::Value(int64_t(2)));
}

TEST(InstallationFileTest, ADamagedFileGivesANewIdentity) {
    const auto support = folder("damaged");
    std::filesystem::create_directories(support);
    std::ofstream(support / InstallationFile::kFileName) << "<plist><dict><key>Identif";
    InstallationFile file(support, "alice");
    EXPECT_EQ(file.identifier().size(), 36u);
    EXPECT_EQ(InstallationFile(support, "alice").identifier(), file.identifier());
}

}  // namespace
}  // namespace wv::ck
