#include <gtest/gtest.h>

#include <regex>

#include "EventFilesFixtures.h"
#include "sdk/analytics/PLRPackageLogOperation.h"
#include "sdk/core/TRNMultipartMimeStreamEncoder.h"

namespace wv {
namespace {

using testing::freshFolder;
using testing::readFile;
using testing::shell;
using testing::writeFile;

std::string gzipOf(const std::string& text, const std::filesystem::path& at) {
    writeFile(at.string() + ".src", text);
    shell("gzip -c '" + at.string() + ".src' > '" + at.string() + "'");
    std::filesystem::remove(at.string() + ".src");
    return readFile(at);
}

std::filesystem::path package(const std::filesystem::path& gz, bool* success = nullptr) {
    const auto boundary = PLRPackageLogOperation::boundaryForCompressedURL(gz);
    PLRPackageLogOperation op(
        gz, PLRPackageLogOperation::multipartURLForCompressedURL(gz, boundary), boundary);
    op.main();
    if (success) *success = op.success();
    return op.packagedLogURL();
}

TEST(PackageLogOperation, TheBodyHoldsTheCompressedFileAsItsOnePart) {
    const auto dir = freshFolder();
    const std::string gz = gzipOf("1\tmetadata\t2\t{}\n", dir / "5A0C.gz");
    bool success = false;
    const auto body = package(dir / "5A0C.gz", &success);
    ASSERT_TRUE(success);
    const std::string boundary = PLRPackageLogOperation::boundaryForCompressedURL(dir / "5A0C.gz");
    EXPECT_EQ(body, dir / (boundary + ".multipartmime"));
    EXPECT_EQ(testing::names(dir), boundary + ".multipartmime");
    const std::string bytes = readFile(body);
    const std::string expected =
        "MIME-Version: 1.0\r\n--" + boundary + "\r\n" +
        "Content-Disposition: form-data; name=\"5A0C.gz\"; filename=\"5A0C.gz\"\r\n" +
        "Content-Type: application/vnd.quellix.mac.events\r\n" +
        "Content-Transfer-Encoding: binary\r\n\r\n" + gz + "\r\n--" + boundary + "--\r\n";
    EXPECT_EQ(bytes, expected);
}

TEST(PackageLogOperation, TheBoundaryIsAUUIDNamedAfterTheLog) {
    const std::regex uuid("[0-9A-F]{8}-[0-9A-F]{4}-5[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    const auto a = PLRPackageLogOperation::boundaryForCompressedURL("/x/one.gz");
    EXPECT_TRUE(std::regex_match(a, uuid)) << a;
    EXPECT_EQ(a, PLRPackageLogOperation::boundaryForCompressedURL("/elsewhere/one.gz"));
    EXPECT_NE(a, PLRPackageLogOperation::boundaryForCompressedURL("/x/two.gz"));
    // SHA-1("one") = fe05bcdcdc4928012781a5f1a2a77cbb5398e106, version and variant bits set.
    EXPECT_EQ(a, "FE05BCDC-DC49-5801-A781-A5F1A2A77CBB");
}

// A crash after the body was renamed into place but before the ".gz" went away must not make
// a second body when the ".gz" is packaged again.
TEST(PackageLogOperation, PackagingTheSameLogAgainRewritesTheSameBody) {
    const auto dir = freshFolder();
    gzipOf("1\tcustom\t2\t{}\n", dir / "R.gz");
    const std::string gz = readFile(dir / "R.gz");
    const auto first = package(dir / "R.gz");
    const std::string body = readFile(first);
    writeFile(dir / "R.gz", gz);
    const auto second = package(dir / "R.gz");
    EXPECT_EQ(first, second);
    EXPECT_EQ(readFile(second), body);
    EXPECT_EQ(testing::names(dir), first.filename().string());
}

TEST(PackageLogOperation, InputsThatCannotBePackagedMakeNoBody) {
    struct Case {
        const char* name;
        std::function<void(const std::filesystem::path&)> make;
        bool inputStays;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"missing", [](const auto&) {}, false,
         "[Plurio] Error: attempting to package nonexistent file: "},
        {"directory", [](const auto& p) { std::filesystem::create_directory(p); }, true,
         "[Plurio] Error: attempting to package nonexistent file: "},
        {"not gzip", [](const auto& p) { writeFile(p, "plain text"); }, false,
         "[Plurio] Error packaging: "},
        {"cut gzip",
         [](const auto& p) {
             const std::string gz = gzipOf(std::string(5000, 'a') + "\n", p);
             writeFile(p, gz.substr(0, gz.size() / 2));
         },
         false, "[Plurio] Error packaging: "},
        {"empty", [](const auto& p) { writeFile(p, ""); }, false, "[Plurio] Error packaging: "},
    };
    for (const auto& c : cases) {
        const auto dir = freshFolder(c.name);
        c.make(dir / "S.gz");
        testing::KitLog log;
        bool success = true;
        package(dir / "S.gz", &success);
        EXPECT_FALSE(success) << c.name;
        EXPECT_EQ(std::filesystem::exists(dir / "S.gz"), c.inputStays) << c.name;
        EXPECT_TRUE(testing::names(dir).find("multipartmime") == std::string::npos) << c.name;
        bool said = false;
        for (const auto& line : log.lines()) said |= line.rfind(c.message, 0) == 0;
        EXPECT_TRUE(said) << c.name;
    }
}

TEST(PackageLogOperation, AFullDiskKeepsTheCompressedLogAndLeavesNoBody) {
    const auto dir = freshFolder();
    std::string text;
    for (int i = 0; i < 20000; ++i) text += std::to_string(i * 7919 % 100003) + "\n";
    const std::string gz = gzipOf(text, dir / "T.gz");
    const int rc = testing::inChildWithFileSizeLimit(gz.size() / 2, [&] {
        bool success = true;
        package(dir / "T.gz", &success);
        return success ? 1 : 0;
    });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(readFile(dir / "T.gz"), gz);
    EXPECT_EQ(testing::names(dir), "T.gz");
}

}  // namespace
}  // namespace wv
