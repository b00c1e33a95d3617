#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>

#include "platform/foundation/Folders.h"
#include "platform/foundation/Log.h"
#include "storage/FS.h"
#include "storage/Utils.h"

namespace wv {
namespace {

std::string readAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(FS, AppSupportFolderIsCreatedWithItsParentsAndStaysQuiet) {
    const std::string saved = getenv("XDG_DATA_HOME");
    const auto base = std::filesystem::path(saved) / "deep" / "er";
    setenv("XDG_DATA_HOME", base.c_str(), 1);
    LogCapture log;
    const auto url = FS::appSupportURL();
    EXPECT_EQ(url, base / "com.wovanu.typing");
    EXPECT_TRUE(std::filesystem::is_directory(url));
    EXPECT_EQ(FS::appSupportURL(), url);
    EXPECT_TRUE(log.lines().empty());
    setenv("XDG_DATA_HOME", saved.c_str(), 1);
}

TEST(FS, AnUncreatableFolderPrintsBlaAndStillGivesThePath) {
    const std::string saved = getenv("XDG_DATA_HOME");
    const auto blocker = std::filesystem::path(saved) / "file-not-folder";
    std::ofstream(blocker) << "x";
    setenv("XDG_DATA_HOME", blocker.c_str(), 1);
    LogCapture log;
    EXPECT_EQ(FS::appSupportURL(), blocker / "com.wovanu.typing");
    EXPECT_EQ(log.lines(), std::vector<std::string>{"BLA"});
    setenv("XDG_DATA_HOME", saved.c_str(), 1);
}

TEST(FS, CopyFileFollowsTheOverwriteFlag) {
    const auto dir = FS::appSupportURL();
    const auto source = dir / "statistics.db", target = dir / "statisticsCopy.db";
    std::ofstream(source) << "new";
    std::ofstream(target) << "old";
    EXPECT_FALSE(FS::copyFile(source, target, false));
    EXPECT_EQ(readAll(target), "old");
    EXPECT_TRUE(FS::copyFile(source, target, true));
    EXPECT_EQ(readAll(target), "new");
    std::filesystem::remove(target);
    EXPECT_TRUE(FS::copyFile(source, target, false));
    EXPECT_EQ(readAll(target), "new");
    EXPECT_FALSE(FS::copyFile(dir / "missing.db", dir / "other.db", true));
    EXPECT_FALSE(std::filesystem::exists(dir / "other.db"));
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        EXPECT_EQ(e.path().filename().string().find(".copy-"), std::string::npos);
    }
}

TEST(Dates, StatsTimestampRoundTripsInTheZoneItWasWrittenIn) {
    const Date when = std::chrono::system_clock::from_time_t(1700000000);  // 2023-11-14 22:13:20 UTC
    const std::string text = toString(when, kStatsDateFormat);
    EXPECT_EQ(text.size(), 19u);
    EXPECT_EQ(makeStatsDateFormatter().date(text), when);
    EXPECT_EQ(makeStatsDateFormatter().string(when), text);
}

TEST(Dates, StatsFormatterRefusesMalformedText) {
    const auto f = makeStatsDateFormatter();
    EXPECT_TRUE(f.date("2017-11-30 23:59:59"));
    for (const char* bad : {"2017/11/30 23:59:59", "30.11.2017", "", "2017-11-30",
                            "2017-11-30 23:59:59 trailing", "2017-13-40 25:61:61"}) {
        EXPECT_FALSE(f.date(bad)) << bad;
    }
}

TEST(Dates, ToStringDefaultFormatAndTheZeroMinuteRule) {
    DateFormatter parse;
    parse.setFormat("yyyy-MM-dd HH:mm:ss");
    const Date when = *parse.date("2024-03-05 14:07:09");
    const std::string text = toString(when, "");
    EXPECT_EQ(text.rfind("2024,", 0), 0u) << text;
    EXPECT_NE(text.find("05, 14:07:09"), std::string::npos) << text;
    EXPECT_EQ(toString(*parse.date("2024-03-05 14:00:09"), "m'm'"), "");
    EXPECT_EQ(toString(*parse.date("2024-03-05 14:03:09"), "m'm'"), "3m");
}

TEST(Utils, JoinedCharactersSeparatesUserPerceivedCharacters) {
    struct Case {
        const char* text;
        const char* separator;
        const char* joined;
    } cases[] = {
        {"abc", ", ", "a, b, c"},
        {"", " ", ""},
        {"x", " ", "x"},
        {"фыва", " ", "ф ы в а"},
        {"e\xCC\x81z", "-", "e\xCC\x81-z"},
    };
    for (const auto& c : cases) EXPECT_EQ(joinedCharacters(c.text, c.separator), c.joined) << c.text;
}

}  // namespace
}  // namespace wv
