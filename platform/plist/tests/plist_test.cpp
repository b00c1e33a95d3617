#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "platform/foundation/Folders.h"
#include "platform/foundation/Log.h"
#include "platform/plist/Value.h"

namespace wv::plist {
namespace {

std::filesystem::path folder() {
    auto dir = Folders::dataHome() / "plist";
    std::filesystem::create_directories(dir);
    return dir;
}

Dictionary sample() {
    Dictionary inner;
    inner.set("layoutEng", 2);
    inner.set("numbersEng", false);
    Dictionary d;
    d.set("language", "de");
    d.set("sound", true);
    d.set("zero", 0);
    d.set("one", 1);
    d.set("negative", int64_t(-5));
    d.set("big", int64_t(1) << 40);
    d.set("ratio", 5.5);
    d.set("name", "Ünïcödé ✓");
    d.set("nested", inner);
    d.set("list", Array{Value(1), Value("two"), Value(true)});
    d.set("blob", Data{0, 1, 255});
    d.set("when", Date(std::chrono::seconds(1700000000)));
    return d;
}

TEST(Plist, ADictionaryRoundTripsThroughAFileWithKindsIntact) {
    auto path = folder() / "config.plist";
    ASSERT_TRUE(writeFile(path, sample()));
    auto back = readFile(path);
    ASSERT_TRUE(back);
    const Dictionary* d = back->get<Dictionary>();
    ASSERT_TRUE(d);
    EXPECT_EQ(*d, sample());
    // Booleans never come back as integers, nor 0/1 as Booleans.
    EXPECT_TRUE(d->find("sound")->is<bool>());
    EXPECT_TRUE(d->find("one")->is<int64_t>());
    EXPECT_TRUE(d->find("zero")->is<int64_t>());
    EXPECT_TRUE(d->find("ratio")->is<double>());
    // Insertion order is kept in the file.
    std::vector<std::string> keys;
    for (const auto& [k, v] : *d) keys.push_back(k);
    EXPECT_EQ(keys.front(), "language");
    EXPECT_EQ(keys.back(), "when");
}

TEST(Plist, SettingAKeyAgainKeepsItsPlace) {
    Dictionary d;
    d.set("a", 1);
    d.set("b", 2);
    d.set("a", 3);
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d.begin()->first, "a");
    EXPECT_EQ(*d.find("a")->get<int64_t>(), 3);
}

TEST(Plist, CorruptTruncatedOrMissingFilesReadAsAbsent) {
    const std::string good = toXml(sample());
    struct Case {
        const char* name;
        std::string content;
    } cases[] = {
        {"truncated", good.substr(0, good.size() / 2)},
        {"garbage", "\x01\x02 not a plist at all"},
        {"empty", ""},
    };
    for (const auto& c : cases) {
        auto path = folder() / c.name;
        std::ofstream(path, std::ios::binary) << c.content;
        LogCapture log;
        EXPECT_FALSE(readFile(path)) << c.name;
        if (!c.content.empty()) {
            EXPECT_TRUE(log.contains("can't read property list at path : " + path.string()));
        }
    }
    LogCapture log;
    EXPECT_FALSE(readFile(folder() / "absent.plist"));
    EXPECT_TRUE(log.lines().empty());
}

TEST(Plist, AFailedWriteLeavesTheOldFileWhole) {
    auto dir = folder() / "readonly";
    std::filesystem::create_directories(dir);
    auto path = dir / "config.plist";
    ASSERT_TRUE(writeFile(path, sample()));
    const auto before = std::filesystem::file_size(path);
    std::filesystem::permissions(
        dir, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    Dictionary small;
    small.set("x", 1);
    LogCapture log;
    const bool wrote = writeFile(path, small);
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all);
    if (getuid() != 0) {  // root writes through permission bits
        EXPECT_FALSE(wrote);
        EXPECT_EQ(std::filesystem::file_size(path), before);
    }
    // Writing into a folder that does not exist fails cleanly.
    EXPECT_FALSE(writeFile(folder() / "no" / "such" / "config.plist", small));
    EXPECT_FALSE(std::filesystem::exists(folder() / "no"));
    // No temporary files are left beside the target.
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        EXPECT_EQ(entry.path().filename(), "config.plist");
    }
}

}  // namespace
}  // namespace wv::plist

namespace wv::plist {
namespace {

// A damaged file may hold a NUL byte inside a string; reading it must not end the program.
TEST(Plist, AStringHoldingANulByteIsReadWithoutEndingTheProgram) {
    const std::string xml =
        std::string(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">"
            "<dict><key>k</key><string>ab") +
        std::string(1, '\0') + "cd</string></dict></plist>\n";
    const auto value = fromXml(xml);
    if (value) {
        const auto* dict = value->get<Dictionary>();
        ASSERT_TRUE(dict);
        const Value* k = dict->find("k");
        ASSERT_TRUE(k && k->is<std::string>());
        EXPECT_EQ(k->get<std::string>()->substr(0, 2), "ab");
    }
}

}  // namespace
}  // namespace wv::plist
