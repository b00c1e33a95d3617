#include <gtest/gtest.h>
#include <sys/stat.h>

#include "EventFilesFixtures.h"
#include "sdk/analytics/PLRWriteEventOperation.h"

namespace wv {
namespace {

using json = nlohmann::ordered_json;
using testing::EchoMetadata;
using testing::FixedEvent;
using testing::freshFolder;
using testing::readFile;
using testing::splitFields;
using testing::splitLines;

bool write(const std::filesystem::path& log, double seconds, json payload,
           const std::string& name = "custom") {
    EchoMetadata metadata;
    PLRWriteEventOperation op(std::make_shared<FixedEvent>(seconds, name, std::move(payload)),
                              metadata, log);
    op.main();
    return op.success();
}

TEST(WriteEventOperation, ANewFileStartsWithTheMetadataLineOfTheFirstEvent) {
    const auto log = freshFolder() / "A.log";
    ASSERT_TRUE(write(log, 1.5, {{"n", 1}}));
    ASSERT_TRUE(write(log, 2.25, {{"n", 2}}));
    const auto lines = splitLines(readFile(log));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "1500\tmetadata\t40\t{\"start_time\":1,\"app\":\"com.example.app\"}");
    EXPECT_EQ(lines[1], "1500\tcustom\t7\t{\"n\":1}");
    EXPECT_EQ(lines[2], "2250\tcustom\t7\t{\"n\":2}");
    EXPECT_EQ(readFile(log).back(), '\n');
    struct stat st {};
    ASSERT_EQ(stat(log.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u & ~umask(umask(0)));
}

// Each line keeps exactly its three separators and says how many bytes its payload has.
TEST(WriteEventOperation, FieldsOfAnEventLine) {
    struct Case {
        const char* name;
        double seconds;
        json payload;
        std::string timestamp;
    };
    const std::vector<Case> cases = {
        {"non-ASCII", 1700000000.123, {{"word", "Grüße, 東京"}}, "1700000000123"},
        {"tab and line feed", 12.0, {{"text", "a\tb\nc\rd"}}, "12000"},
        {"slash and quote", 0.0015, {{"path", "/a/\"b\""}}, "1"},
        {"empty object", 3.9999, json::object(), "3999"},
        {"nested", 5, {{"a", {{"b", json::array({1, "x"})}}}}, "5000"},
    };
    for (const auto& c : cases) {
        const auto log = freshFolder(c.name) / "B.log";
        ASSERT_TRUE(write(log, c.seconds, c.payload)) << c.name;
        const auto lines = splitLines(readFile(log));
        ASSERT_EQ(lines.size(), 2u) << c.name;
        for (const auto& line : lines) {
            const auto fields = splitFields(line);
            ASSERT_EQ(fields.size(), 4u) << c.name << ": " << line;
            EXPECT_EQ(fields[0], c.timestamp) << c.name;
            EXPECT_EQ(std::stoul(fields[2]), fields[3].size()) << c.name;
        }
        const auto event = splitFields(lines[1]);
        EXPECT_EQ(json::parse(event[3]), c.payload) << c.name;
    }
}

TEST(WriteEventOperation, LinesThatCannotBeMadeWriteNothing) {
    struct Case {
        const char* name;
        std::optional<json> payload;
        std::string eventName;
    };
    const std::vector<Case> cases = {
        {"null payload", std::nullopt, "custom"},
        {"invalid UTF-8", json{{"bad", std::string("\xff\xfe")}}, "custom"},
        {"tab in name", json::object(), "a\tb"},
        {"line feed in name", json::object(), "a\nb"},
    };
    for (const auto& c : cases) {
        const auto dir = freshFolder(c.name);
        EchoMetadata metadata;
        PLRWriteEventOperation op(std::make_shared<FixedEvent>(1, c.eventName, c.payload), metadata,
                                  dir / "C.log");
        EXPECT_FALSE(op.formattedEvent().has_value()) << c.name;
        op.main();
        EXPECT_FALSE(op.success()) << c.name;
        EXPECT_FALSE(std::filesystem::exists(dir / "C.log")) << c.name;
    }
}

TEST(WriteEventOperation, ADirectoryAtTheLogPathFailsAndCreatesNothing) {
    const auto dir = freshFolder();
    std::filesystem::create_directory(dir / "D.log");
    EXPECT_FALSE(write(dir / "D.log", 1, {{"a", 1}}));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "D.log"));
}

TEST(WriteEventOperation, AnEmptyFileLeftByAnEarlierRunGetsItsMetadataLine) {
    const auto log = freshFolder() / "E.log";
    testing::writeFile(log, "");
    ASSERT_TRUE(write(log, 1, {{"a", 1}}));
    const auto lines = splitLines(readFile(log));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(splitFields(lines[0])[1], "metadata");
}

TEST(WriteEventOperation, AFolderThatIsAFileFailsWithoutCrashing) {
    const auto dir = freshFolder();
    testing::writeFile(dir / "events", "not a folder");
    EXPECT_FALSE(write(dir / "events" / "F.log", 1, {{"a", 1}}));
    EXPECT_EQ(readFile(dir / "events"), "not a folder");
}

TEST(WriteEventOperation, ALogThatIsAFullDeviceFails) {
    const auto dir = freshFolder();
    std::filesystem::create_symlink("/dev/full", dir / "G.log");
    EXPECT_FALSE(write(dir / "G.log", 1, {{"a", 1}}));
}

// A line that does not fit is taken back whole: the file ends with the last good line.
TEST(WriteEventOperation, AFullDiskUndoesThePartialLine) {
    const auto log = freshFolder() / "H.log";
    ASSERT_TRUE(write(log, 1, {{"a", 1}}));
    const std::string before = readFile(log);
    const int rc = testing::inChildWithFileSizeLimit(before.size() + 20, [&] {
        return write(log, 2, {{"long", std::string(500, 'x')}}) ? 1 : 0;
    });
    EXPECT_EQ(rc, 0) << "the write did not report its failure";
    EXPECT_EQ(readFile(log), before);
}

TEST(WriteEventOperation, ANewFileWhoseMetadataDoesNotFitIsRemoved) {
    const auto log = freshFolder() / "I.log";
    const int rc = testing::inChildWithFileSizeLimit(10, [&] {
        return write(log, 2, {{"a", 1}}) ? 1 : 0;
    });
    EXPECT_EQ(rc, 0);
    EXPECT_FALSE(std::filesystem::exists(log));
}

// The event's content is fixed when the operation is made, not when it runs.
TEST(WriteEventOperation, LinesAreMadeWhenTheOperationIsMade) {
    const auto log = freshFolder() / "J.log";
    auto event = std::make_shared<FixedEvent>(1, "custom", json{{"a", 1}});
    EchoMetadata metadata;
    PLRWriteEventOperation op(event, metadata, log);
    ASSERT_TRUE(op.formattedEvent().has_value());
    EXPECT_EQ(*op.formattedEvent(), "1000\tcustom\t7\t{\"a\":1}");
    EXPECT_EQ(*op.formattedMetadata(),
              "1000\tmetadata\t40\t{\"start_time\":1,\"app\":\"com.example.app\"}");
}

}  // namespace
}  // namespace wv
