#include <gtest/gtest.h>

#include <random>

#include "EventFilesFixtures.h"
#include "sdk/analytics/PLRCompressLogOperation.h"

namespace wv {
namespace {

using testing::freshFolder;
using testing::readFile;
using testing::shell;
using testing::writeFile;

std::string randomBytes(size_t n, unsigned seed) {
    std::mt19937 engine(seed);
    std::string out(n, '\0');
    for (auto& c : out) c = char(engine());
    return out;
}

TEST(CompressLogOperation, TheGzipFileDecompressesToTheLogExactly) {
    struct Case {
        const char* name;
        std::string content;
    };
    std::string lines;
    for (int i = 0; i < 2000; ++i) lines += std::to_string(i) + "\tcustom\t7\t{\"n\":1}\n";
    const std::vector<Case> cases = {
        {"empty", ""},
        {"one line", "1\tmetadata\t2\t{}\n"},
        {"many lines", lines},
        {"binary beyond one read", randomBytes(700 * 1024, 7)},
    };
    for (const auto& c : cases) {
        const auto dir = freshFolder(c.name);
        writeFile(dir / "L.log", c.content);
        PLRCompressLogOperation op(
            dir / "L.log", PLRCompressLogOperation::compressedURLForUncompressedURL(dir / "L.log"));
        EXPECT_EQ(op.compressedLogURL(), dir / "L.gz");
        op.main();
        EXPECT_TRUE(op.success()) << c.name;
        int status = -1;
        shell("gzip -t '" + (dir / "L.gz").string() + "'", &status);
        EXPECT_EQ(status, 0) << c.name;
        EXPECT_EQ(shell("zcat '" + (dir / "L.gz").string() + "'"), c.content) << c.name;
        EXPECT_EQ(testing::names(dir), "L.gz") << c.name << ": the log or a temporary file stayed";
    }
}

TEST(CompressLogOperation, AnExistingGzipFileIsKept) {
    const auto dir = freshFolder();
    writeFile(dir / "M.log", "new content\n");
    shell("printf 'earlier\\n' | gzip -c > '" + (dir / "M.gz").string() + "'");
    const std::string earlier = readFile(dir / "M.gz");
    PLRCompressLogOperation op(dir / "M.log", dir / "M.gz");
    op.main();
    EXPECT_TRUE(op.success());
    EXPECT_EQ(readFile(dir / "M.gz"), earlier);
    EXPECT_FALSE(std::filesystem::exists(dir / "M.log"));
}

// Something under the ".gz" name that is not this log's output must not cost the log.
TEST(CompressLogOperation, AnExistingFileThatIsNoGzipKeepsBothAndFails) {
    const auto dir = freshFolder();
    writeFile(dir / "N.log", "content\n");
    writeFile(dir / "N.gz", "not gzip at all");
    testing::KitLog log;
    PLRCompressLogOperation op(dir / "N.log", dir / "N.gz");
    op.main();
    EXPECT_FALSE(op.success());
    EXPECT_EQ(readFile(dir / "N.log"), "content\n");
    EXPECT_EQ(readFile(dir / "N.gz"), "not gzip at all");
    EXPECT_TRUE(log.contains("[Plurio] Failed to compress file at " + (dir / "N.log").string()));
}

TEST(CompressLogOperation, AMissingLogOrADirectoryMakesNoOutput) {
    const auto dir = freshFolder();
    std::filesystem::create_directory(dir / "dir.log");
    testing::KitLog log;
    for (const char* name : {"absent.log", "dir.log"}) {
        PLRCompressLogOperation op(dir / name, dir / "out.gz");
        op.main();
        EXPECT_FALSE(op.success()) << name;
        EXPECT_TRUE(log.contains("[Plurio] Error: attempting to compress nonexistent file: " +
                                 (dir / name).string()))
            << name;
    }
    EXPECT_EQ(testing::names(dir), "dir.log");
}

TEST(CompressLogOperation, AFullDiskLeavesTheLogAndNoOutput) {
    const auto dir = freshFolder();
    const std::string content = randomBytes(400 * 1024, 3);
    writeFile(dir / "P.log", content);
    const int rc = testing::inChildWithFileSizeLimit(64 * 1024, [&] {
        PLRCompressLogOperation op(dir / "P.log", dir / "P.gz");
        op.main();
        return op.success() ? 1 : 0;
    });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(readFile(dir / "P.log"), content);
    EXPECT_EQ(testing::names(dir), "P.log");
}

TEST(CompressLogOperation, AnUnwritableFolderLeavesTheLog) {
    const auto dir = freshFolder();
    writeFile(dir / "Q.log", "line\n");
    writeFile(dir / "file", "x");
    PLRCompressLogOperation op(dir / "Q.log", dir / "file" / "Q.gz");
    op.main();
    EXPECT_FALSE(op.success());
    EXPECT_EQ(readFile(dir / "Q.log"), "line\n");
}

TEST(CompressLogOperation, CompleteGzipFilesAreTold) {
    const auto dir = freshFolder();
    shell("printf 'hello world, hello world\\n' | gzip -c > '" + (dir / "good.gz").string() + "'");
    const std::string good = readFile(dir / "good.gz");
    writeFile(dir / "cut.gz", good.substr(0, good.size() - 6));
    writeFile(dir / "plain.gz", "hello");
    writeFile(dir / "empty.gz", "");
    struct Case {
        const char* name;
        bool complete;
    };
    for (const auto& c : std::vector<Case>{{"good.gz", true},
                                           {"cut.gz", false},
                                           {"plain.gz", false},
                                           {"empty.gz", false},
                                           {"absent.gz", false}}) {
        EXPECT_EQ(PLRCompressLogOperation::isCompleteGzipFile(dir / c.name), c.complete) << c.name;
    }
}

}  // namespace
}  // namespace wv
