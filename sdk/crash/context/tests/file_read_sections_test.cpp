#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CrashTestSupport.h"
#include "sdk/crash/context/QXFileReadSections.h"

namespace wv {
namespace {

using test::ScopedLogContext;
using test::writeFile;

std::vector<std::string> keysOf(const std::vector<nlohmann::json>& sections) {
    std::vector<std::string> keys;
    for (const auto& s : sections) keys.push_back(s.begin().key());
    return keys;
}

TEST(QXFileReadSections, EachBadLineLosesOnlyItself) {
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> keys;
    };
    const std::string good = "{\"a\":{}}\n{\"b\":{\"v\":1}}\n";
    const Case cases[] = {
        {"whole file", good, {"a", "b"}},
        {"last line complete without its newline", good + "{\"c\":[]}", {"a", "b", "c"}},
        {"torn last line", good + "{\"c\":{\"v\":12", {"a", "b"}},
        {"garbage in the middle", "{\"a\":{}}\nnot json at all\n{\"b\":{}}\n", {"a", "b"}},
        {"invalid UTF-8", "{\"a\":{}}\n{\"x\":\"\xff\xfe\"}\n{\"b\":{}}\n", {"a", "b"}},
        {"unescaped quote", "{\"a\":{}}\n{\"x\":\"say \"hi\"\"}\n{\"b\":{}}\n", {"a", "b"}},
        {"a value that is no object", "5\n\"text\"\n{\"a\":{}}\n", {"a"}},
        {"empty file", "", {}},
    };
    test::TempFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto path = folder / "r.qxrecord";
        writeFile(path, c.bytes);
        auto sections = QXFileReadSections(path, false);
        ASSERT_TRUE(sections.has_value());
        EXPECT_EQ(keysOf(*sections), c.keys);
    }
}

TEST(QXFileReadSections, TheTransformReplacesOrDropsLines) {
    test::TempFolder folder;
    auto path = folder / "t.qxrecord";
    writeFile(path, "{\"a\":{\"v\":1}}\n{\"b\":{\"v\":2}}\n{\"c\":{\"v\":3}}\n");
    auto sections = QXFileReadSections(
        path, false, [](const nlohmann::json& line) -> std::optional<nlohmann::json> {
            if (line.contains("b")) return std::nullopt;
            return line.begin().value()["v"];
        });
    ASSERT_TRUE(sections);
    EXPECT_EQ(*sections, (std::vector<nlohmann::json>{1, 3}));
}

TEST(QXFileReadSections, UnreadablePathsWarnAndGiveNone) {
    ScopedLogContext scope;
    auto folder = scope.folder() / "a-directory";
    std::filesystem::create_directory(folder);
    EXPECT_FALSE(QXFileReadSections(folder, true));
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    auto missing = scope.folder() / "missing.qxrecord";
    EXPECT_FALSE(QXFileReadSections(missing, true));
    EXPECT_FALSE(QXFileReadSections(std::nullopt, false));
    std::string log = scope.log();
    EXPECT_NE(log.find("Unable to read file " + folder.string()), std::string::npos) << log;
    EXPECT_NE(log.find("Unable to read file " + missing.string()), std::string::npos) << log;
    EXPECT_NE(log.find("ERROR [QXFileReadSections:"), std::string::npos) << log;
    EXPECT_NE(log.find("Error: input path is invalid"), std::string::npos) << log;
}

TEST(QXFileHexCodecs, DecodeAndEncode) {
    struct Case {
        const char* hex;
        std::optional<std::string> text;
    };
    const Case cases[] = {
        {"", std::string()},
        {"4", std::string()},
        {"48", std::string("H")},
        {"4869", std::string("Hi")},
        {"486", std::string("H")},
        {"48zz69", std::string("H")},
        {"48Z969", std::string("H")},
        {"4A4b", std::string("JK")},
        {"c3a9", std::string("\xc3\xa9")},
        {"ff", std::nullopt},
        {"c3", std::nullopt},
        {"eda080", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QXFileHexDecodeString(c.hex), c.text) << c.hex;
    }
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    std::string hex = QXFileHexEncodeString(all);
    EXPECT_EQ(hex.substr(0, 8), "00010203");
    EXPECT_EQ(hex.substr(hex.size() - 4), "feff");
    EXPECT_EQ(QXFileHexEncodeString("\xc3\xa9 ok"), "c3a9206f6b");
    EXPECT_EQ(QXFileHexDecodeString(QXFileHexEncodeString("round trip \xe2\x9c\x93")),
              "round trip \xe2\x9c\x93");
}

}  // namespace
}  // namespace wv
