// A real crash of the crash child, taken from its folder to a loopback server, and packages
// that meet every kind of server trouble: nothing is lost, nothing goes twice.
#include <gtest/gtest.h>

#include <cstdio>

#include "UploadTestSupport.h"
#include "platform/foundation/Log.h"
#include "sdk/crash/tests/CrashChild.h"

namespace wv {
namespace {

using net::testing::ScriptedReply;
using net::testing::TestServer;
using test::ScopedEnvironment;

const std::string kReportsPath = "/sdk-api/v1/platforms/mac/apps/com.wovanu.typing/reports";

// What the program zcat makes of the bytes.
std::string zcat(const std::string& bytes) {
    test::TempFolder folder;
    test::writeFile(folder / "part.gz", bytes);
    const std::string command = "zcat '" + (folder / "part.gz").string() + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return "<zcat did not start>";
    std::string out;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    return pclose(pipe) == 0 ? out : "<zcat failed>";
}

std::map<std::string, std::string> filesOf(const std::filesystem::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        files[entry.path().filename().string()] = test::readFile(entry.path());
    return files;
}

// The crash reporting controller's part: the client's reports go to the reports controller.
class UploadPipeline {
  public:
    explicit UploadPipeline(const test::ReportTree& tree) {
        clientDelegate->forward = [this](const std::string& path,
                                         const std::optional<net::Error>& error) {
            std::error_code ec;
            const auto size = std::filesystem::file_size(path, ec);
            {
                std::lock_guard lock(mutex_);
                sizes[path] = ec ? 0 : size;
            }
            controller->reportUploadAtPathCompletedWithError(path, error);
        };
        client = QXNetworkClient::create(queue, tree.fileManager, clientDelegate);
        controller = std::make_unique<QXReportsController>(queue, reportsDelegate, client,
                                                           tree.fileManager);
    }
    uint64_t sizeAtCompletion(const std::string& path) {
        std::lock_guard lock(mutex_);
        return sizes[path];
    }

    std::shared_ptr<OperationQueue> queue =
        std::make_shared<OperationQueue>("com.balvik.quellix.mac.work-queue", 1);
    std::shared_ptr<test::RecordingClientDelegate> clientDelegate =
        std::make_shared<test::RecordingClientDelegate>();
    std::shared_ptr<test::StubReportsDelegate> reportsDelegate =
        std::make_shared<test::StubReportsDelegate>();
    std::shared_ptr<QXNetworkClient> client;
    std::unique_ptr<QXReportsController> controller;

  private:
    std::mutex mutex_;
    std::map<std::string, uint64_t> sizes;
};

class ReportUploadEndToEnd : public ::testing::TestWithParam<bool> {
  protected:
    LogCapture log_;
    test::ScopedLogContext sdkLog_;
    ManualRunLoop loop_;
};

TEST_P(ReportUploadEndToEnd, ARealCrashReachesTheServerWholeAndLeavesNothingBehind) {
    const bool urgent = GetParam();
    test::CrashChildFolder child;
    test::runChild(child, "null-write");
    ASSERT_TRUE(std::filesystem::exists(child.report() / "signal.qxrecord"));
    const auto originals = filesOf(child.report());

    test::ReportTree tree;
    auto server = TestServer::startHTTP();
    server->script(kReportsPath, {{202, "{\"status\":\"ok\"}", {}, "application/json"}});
    ScopedEnvironment endpoint("QuellixReportsEndpoint", server->url(""));
    UploadPipeline pipeline(tree);

    const auto active = tree.fileManager->activePath() / "crashed-run";
    std::filesystem::copy(child.report(), active);
    auto report = QXInternalReport::reportWithPath(active);
    ASSERT_TRUE(report);
    ASSERT_TRUE(pipeline.controller->prepareAndSubmitReport(report, urgent, true));
    if (urgent) {
        EXPECT_EQ(pipeline.clientDelegate->finished().size(), 1u) << "an urgent upload blocks";
    }
    ASSERT_TRUE(pipeline.clientDelegate->waitForFinished(1));
    pipeline.queue->waitUntilAllOperationsAreFinished();

    const auto finished = pipeline.clientDelegate->finished();
    ASSERT_EQ(finished.size(), 1u);
    EXPECT_FALSE(finished[0].error);
    const std::filesystem::path package = finished[0].path;
    EXPECT_EQ(package.parent_path(), tree.fileManager->preparedPath());
    EXPECT_TRUE(tree.prepared().empty()) << "the package stayed after a success";
    EXPECT_TRUE(tree.fileManager->processingPathContents().empty());
    EXPECT_TRUE(tree.fileManager->activePathContents().empty());

    const auto requests = server->requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto& request = requests[0];
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, kReportsPath);
    EXPECT_EQ(request.headers.value("Content-Type"),
              "multipart/form-data; boundary=" + package.stem().string());
    EXPECT_EQ(request.headers.value("Content-Length"),
              std::to_string(pipeline.sizeAtCompletion(package.string())));
    EXPECT_TRUE(request.formComplete) << "the body is not as long as announced";
    EXPECT_EQ(request.headers.value("X-Quellix-API-Key"), "KEY-42");

    const auto& parts = request.parts;
    ASSERT_GE(parts.size(), 2u);
    size_t next = 0;
    if (report->APIKey()) {
        EXPECT_EQ(parts[next].name, "api_key");
        EXPECT_EQ(parts[next++].content, *report->APIKey());
    }
    EXPECT_EQ(parts[next].name, "report_id");
    EXPECT_EQ(parts[next++].content, report->identifier());
    std::map<std::string, std::string> sent;
    for (size_t i = next; i < parts.size(); ++i) {
        EXPECT_EQ(parts[i].filename, parts[i].name + ".gz");
        EXPECT_EQ(parts[i].contentType, "application/x-gzip");
        sent[parts[i].name] = zcat(parts[i].content);
    }
    for (const auto& [name, bytes] : originals) {
        if (bytes.empty()) continue;  // an empty file is left out
        ASSERT_TRUE(sent.count(name)) << name << " was not sent";
        EXPECT_EQ(sent[name], bytes) << name;
    }
    ASSERT_TRUE(sent.count("signal.qxrecord.symbolicated")) << "the report was not processed";
    for (const auto& [name, bytes] : sent) {
        EXPECT_TRUE(originals.count(name) || name.ends_with(".symbolicated")) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(UrgentOrNot, ReportUploadEndToEnd, ::testing::Bool());

// Whatever the server does, a package stays until a reply that says the server has it.
TEST(ReportUploadServerTrouble, NothingIsLostUntilTheServerTakesIt) {
    LogCapture log;
    test::ScopedLogContext sdkLog;
    ManualRunLoop loop;
    struct Case {
        const char* name;
        std::vector<ScriptedReply> replies;
        bool urgent;
        bool delivered;
        size_t requests;
    };
    ScriptedReply reset(200, std::string(100000, 'x'), {}, "application/octet-stream");
    reset.dropAfter = 10;
    const ScriptedReply ok(200, "not json at all {", {}, "application/json");
    const std::vector<Case> cases = {
        {"5xx until the restarts run out", {{500, "down"}}, false, false, 11},
        {"429 with garbage Retry-After", {{429, "", {{"Retry-After", "later"}}}, ok}, false, true,
         2},
        {"reset, then a garbage 2xx body", {reset, ok}, false, true, 2},
        {"2xx that is no reply of the service", {{200, "<html>", {}, "text/html"}}, false, false,
         1},
        {"rejected", {{413, "too large"}}, false, false, 1},
        {"urgent, 5xx", {{503, "down"}}, true, false, 1},
        {"urgent, reset", {reset}, true, false, 1},
        {"urgent, never answers", {ScriptedReply::stalled(60)}, true, false, 1},
    };
    for (const auto& c : cases) {
        test::ReportTree tree;
        auto server = TestServer::startHTTP();
        server->script(kReportsPath, c.replies);
        ScopedEnvironment endpoint("QuellixReportsEndpoint", server->url(""));
        UploadPipeline pipeline(tree);
        const auto package = tree.fileManager->preparedPath() / "A1B2.multipartmime";
        test::writeFile(package, "--A1B2--\r\n");

        ASSERT_TRUE(pipeline.controller->uploadPackagedReportAtPath(package, c.urgent)) << c.name;
        if (!c.urgent) {
            ASSERT_TRUE(test::advanceUntil(
                loop, 60, [&] { return !pipeline.clientDelegate->finished().empty(); }))
                << c.name;
            pipeline.queue->waitUntilAllOperationsAreFinished();
        }
        EXPECT_EQ(server->requestCount(), c.requests) << c.name;
        EXPECT_EQ(std::filesystem::exists(package), !c.delivered) << c.name;
        EXPECT_EQ(pipeline.reportsDelegate->completions.size(), c.urgent && !c.delivered ? 0u : 1u)
            << c.name;
    }
}

// A huge Retry-After is held to an hour: the package waits, it is not dropped.
TEST(ReportUploadServerTrouble, AHugeRetryAfterWaitsAnHourAndThePackageStays) {
    LogCapture log;
    test::ScopedLogContext sdkLog;
    ManualRunLoop loop;
    test::ReportTree tree;
    auto server = TestServer::startHTTP();
    server->script(kReportsPath, {{429, "", {{"Retry-After", "1e30"}}},
                                  {202, "{}", {}, "application/json"}});
    ScopedEnvironment endpoint("QuellixReportsEndpoint", server->url(""));
    UploadPipeline pipeline(tree);
    const auto package = tree.fileManager->preparedPath() / "H1.multipartmime";
    test::writeFile(package, "--H1--\r\n");
    ASSERT_TRUE(pipeline.controller->uploadPackagedReportAtPath(package, false));
    ASSERT_TRUE(server->waitForRequests(1, 20));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    pipeline.queue->waitUntilAllOperationsAreFinished();
    loop.advance(3599);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(server->requestCount(), 1u);
    EXPECT_TRUE(std::filesystem::exists(package));
    ASSERT_TRUE(test::advanceUntil(
        loop, 30, [&] { return !pipeline.clientDelegate->finished().empty(); }));
    pipeline.queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(server->requestCount(), 2u);
    EXPECT_FALSE(std::filesystem::exists(package));
}

}  // namespace
}  // namespace wv
