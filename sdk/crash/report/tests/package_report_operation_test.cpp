#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "UploadTestSupport.h"
#include "sdk/crash/report/QXPackageReportOperation.h"

namespace wv {
namespace {

using test::partsOf;
using test::readFile;

const std::string kSignal = "{\"signal\":{\"number\":11,\"time\":1700000100}}\n";
const std::string kThreads = "{\"threads\":[{\"stacktrace\":[4096,8192]}]}\n";

struct Packaged {
    std::filesystem::path path;
    std::string boundary;
    std::vector<test::Part> parts;
};

// Every name in a folder, hidden ones too.
std::vector<std::string> everyName(const std::filesystem::path& folder) {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        out.push_back(entry.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

Packaged package(const test::ReportTree& tree, const std::shared_ptr<QXInternalReport>& report) {
    const auto before = everyName(tree.fileManager->preparedPath());
    QXPackageReportOperation operation(report, tree.fileManager);
    operation.start();
    EXPECT_TRUE(operation.finalPath());
    if (!operation.finalPath()) return {};
    const auto path = *operation.finalPath();
    EXPECT_EQ(path.parent_path(), tree.fileManager->preparedPath());
    EXPECT_EQ(path.extension(), ".multipartmime");
    // The package went in under its own name, with nothing written beside it.
    auto expected = before;
    expected.push_back(path.filename().string());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(everyName(tree.fileManager->preparedPath()), expected);
    const std::string boundary = path.stem().string();
    return {path, boundary, partsOf(readFile(path), boundary)};
}

std::vector<std::string> names(const std::vector<test::Part>& parts) {
    std::vector<std::string> out;
    for (const auto& p : parts) out.push_back(p.name);
    return out;
}

TEST(PackageReportOperation, BodyHoldsKeyIdentifierAndEveryFileCompressedUnderItsOwnName) {
    test::ScopedLogContext sdkLog;
    test::ReportTree tree;
    // Bytes a text reader would trip over must come back exactly.
    const std::string binary("\x00\xff\r\n--\x1f\x8b", 8);
    auto report = tree.makeReport("RUN-1", {{"signal.qxrecord", kSignal},
                                            {"threads.qxrecord", kThreads},
                                            {"zz_binary.qxrecord", binary}});
    const auto out = package(tree, report);
    ASSERT_EQ(names(out.parts),
              (std::vector<std::string>{"api_key", "report_id", "metadata.qxrecord",
                                        "signal.qxrecord", "threads.qxrecord",
                                        "zz_binary.qxrecord"}));
    EXPECT_EQ(out.parts[0].content, "API-KEY-1");
    EXPECT_EQ(out.parts[1].content, "RUN-1");
    const std::map<std::string, std::string> originals = {
        {"metadata.qxrecord", readFile(report->metadataPath())},
        {"signal.qxrecord", kSignal},
        {"threads.qxrecord", kThreads},
        {"zz_binary.qxrecord", binary}};
    for (size_t i = 2; i < out.parts.size(); ++i) {
        const auto& part = out.parts[i];
        EXPECT_EQ(part.filename, part.name + ".gz");
        EXPECT_EQ(part.contentType, "application/x-gzip");
        EXPECT_EQ(test::gunzip(part.content), originals.at(part.name)) << part.name;
    }
    EXPECT_EQ(readFile(report->path() / "signal.qxrecord"), kSignal) << "the original changed";
}

TEST(PackageReportOperation, MissingKeyAndEmptyFilesAreLeftOut) {
    test::ScopedLogContext sdkLog;
    test::ReportTree tree;
    auto report = tree.makeReport("RUN-2", {{"signal.qxrecord", kSignal}, {"log_a.qxrecord", ""}},
                                  std::nullopt);
    const auto out = package(tree, report);
    EXPECT_EQ(names(out.parts),
              (std::vector<std::string>{"report_id", "metadata.qxrecord", "signal.qxrecord"}));
    EXPECT_NE(sdkLog.log().find("Error: unable to read data for compression: log_a.qxrecord"),
              std::string::npos)
        << sdkLog.log();
}

TEST(PackageReportOperation, ASecondRunGetsItsOwnNameAndNeverPackagesTheFirstRunsGzFiles) {
    test::ScopedLogContext sdkLog;
    test::ReportTree tree;
    auto report = tree.makeReport("RUN-3", {{"signal.qxrecord", kSignal}});
    const auto first = package(tree, report);
    ASSERT_TRUE(std::filesystem::exists(report->path() / "signal.qxrecord.gz"));
    const auto second = package(tree, report);
    EXPECT_NE(first.boundary, second.boundary);
    EXPECT_EQ(tree.prepared().size(), 2u);
    EXPECT_EQ(names(second.parts), names(first.parts));
    for (const auto& part : second.parts)
        EXPECT_EQ(part.name.find(".gz"), std::string::npos) << part.name;
}

// When no gzip file can be written beside it, the file goes as it is: as text, under its own
// name, so nobody tries to decompress it.
TEST(PackageReportOperation, AFileThatCannotBeCompressedIsSentAsTextUnderItsOwnName) {
    test::ScopedLogContext sdkLog;
    test::ReportTree tree;
    auto report = tree.makeReport("RUN-4", {{"signal.qxrecord", kSignal}});
    std::filesystem::create_directories(report->path() / "signal.qxrecord.gz");
    const auto out = package(tree, report);
    ASSERT_EQ(names(out.parts),
              (std::vector<std::string>{"api_key", "report_id", "metadata.qxrecord",
                                        "signal.qxrecord"}));
    const auto& part = out.parts[3];
    EXPECT_EQ(part.filename, "signal.qxrecord");
    EXPECT_EQ(part.contentType, "text/plain");
    EXPECT_EQ(part.content, kSignal);
    EXPECT_EQ(test::gunzip(out.parts[2].content), readFile(report->metadataPath()));
    EXPECT_NE(sdkLog.log().find("Error: compression failed for signal.qxrecord.gz"),
              std::string::npos)
        << sdkLog.log();
}

TEST(PackageReportOperation, ACancelledOrIncompleteRunLeavesNoPackage) {
    test::ScopedLogContext sdkLog;
    struct Case {
        const char* name;
        std::function<void(test::ReportTree&, QXPackageReportOperation&)> spoil;
    };
    const std::vector<Case> cases = {
        {"cancelled while running", [](test::ReportTree&, QXPackageReportOperation& op) {
             op.cancel();
         }},
        {"no prepared folder", [](test::ReportTree& tree, QXPackageReportOperation&) {
             std::filesystem::remove_all(tree.fileManager->preparedPath());
         }},
    };
    for (const auto& c : cases) {
        test::ReportTree tree;
        auto report = tree.makeReport("RUN-5", {{"signal.qxrecord", kSignal}});
        QXPackageReportOperation operation(report, tree.fileManager);
        c.spoil(tree, operation);
        operation.main();  // as a run that was cancelled after it began
        EXPECT_FALSE(operation.finalPath()) << c.name;
        EXPECT_TRUE(everyName(tree.fileManager->preparedPath()).empty()) << c.name;
    }
}

// A launch that dies while packaging leaves nothing a later launch would take for a package.
TEST(PackageReportOperation, APackagingKilledMidwayLeavesNoHalfPackage) {
    test::ReportTree tree;
    std::string bytes(6 << 20, '\0');
    uint64_t x = 88172645463325252ull;
    for (char& c : bytes) {
        x ^= x << 13, x ^= x >> 7, x ^= x << 17;
        c = char('a' + x % 26);
    }
    auto report = tree.makeReport("RUN-K", {{"a.qxrecord", bytes}, {"b.qxrecord", bytes}});
    for (int delayMs : {20, 80, 200}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            QXPackageReportOperation operation(report, tree.fileManager);
            operation.start();
            _exit(0);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        // Whatever a listing shows must be a whole package.
        for (const auto& path : tree.prepared()) {
            const auto parts = partsOf(readFile(path), path.stem().string());
            EXPECT_FALSE(parts.empty()) << delayMs << " ms: " << path;
        }
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(report->path(), ec))
            if (entry.path().extension() == ".gz") std::filesystem::remove(entry.path(), ec);
    }
}

TEST(PackageReportOperation, CompressionRefusesNothingToWriteAndAnUnopenablePath) {
    test::ScopedLogContext sdkLog;
    test::TempFolder folder;
    EXPECT_FALSE(QXPackageReportOperation::compressData("", folder / "empty.gz"));
    EXPECT_FALSE(QXPackageReportOperation::compressData("x", folder / "missing" / "x.gz"));
    EXPECT_NE(sdkLog.log().find("Error: unable to open file for compression"), std::string::npos);
    ASSERT_TRUE(QXPackageReportOperation::compressData("hello", folder / "ok.gz"));
    EXPECT_EQ(test::gunzip(readFile(folder / "ok.gz")), "hello");
}

}  // namespace
}  // namespace wv
