#include <gtest/gtest.h>

#include "UploadTestSupport.h"
#include "platform/foundation/ClassRegistry.h"
#include "platform/foundation/Log.h"
#include "sdk/core/Tarnel.h"
#include "sdk/crash/report/QXOVCAnalytics.h"
#include "sdk/crash/report/QXReportsController.h"

namespace wv {
namespace {

using test::readFile;
using test::ScopedEnvironment;

const std::string kEndpoint = "https://reports.invalid/base";
const std::string kSignal = "{\"signal\":{\"number\":11,\"time\":1700000100}}\n";

// Takes what the controller hands over instead of sending it.
class FakeClient : public QXNetworkClient {
  public:
    struct Upload {
        net::URLRequest request;
        std::string path;
        bool immediately;
    };
    FakeClient(std::shared_ptr<OperationQueue> queue, std::shared_ptr<QXFileManager> fileManager)
        : QXNetworkClient(std::move(queue), std::move(fileManager), {}) {}
    bool supportsBackgroundRequests() const override { return background; }
    void startUploadRequest(const net::URLRequest& request, const std::string& path,
                            bool immediately) override {
        uploads.push_back({request, path, immediately});
    }
    bool background = false;
    std::vector<Upload> uploads;
};

// Stands in for Orvelle Analytics: the crash events it was told of.
struct Orvelle {
    std::vector<nlohmann::json> sent;
    std::shared_ptr<const ORVAnalyticsClass> makeClass() {
        auto cls = std::make_shared<ORVAnalyticsClass>();
        cls->logInternalEventWithOrigin = [this](const std::string&, const std::string&,
                                                 const nlohmann::json& p) { sent.push_back(p); };
        cls->addLogEventListener = [](ORVALogEventListener) {};
        return cls;
    }
};

class ReportsControllerTest : public ::testing::Test {
  protected:
    ReportsControllerTest() {
        QXOVCAnalytics::resetClassLookupForTesting();
        client_ = std::make_shared<FakeClient>(queue_, tree_.fileManager);
        controller_ = std::make_unique<QXReportsController>(queue_, delegate_, client_,
                                                            tree_.fileManager);
    }
    ~ReportsControllerTest() override { QXOVCAnalytics::resetClassLookupForTesting(); }

    std::filesystem::path packaged(const std::string& name, const std::string& bytes) {
        const auto path = tree_.fileManager->preparedPath() / (name + ".multipartmime");
        test::writeFile(path, bytes);
        return path;
    }

    test::ScopedLogContext sdkLog_;
    LogCapture log_;
    ScopedEnvironment endpoint_{"QuellixReportsEndpoint", kEndpoint};
    ScopedEnvironment locale_{"LC_ALL", "uk_UA.UTF-8"};
    test::ReportTree tree_;
    std::shared_ptr<OperationQueue> queue_ =
        std::make_shared<OperationQueue>("com.balvik.quellix.mac.work-queue", 1);
    std::shared_ptr<test::StubReportsDelegate> delegate_ = std::make_shared<test::StubReportsDelegate>();
    std::shared_ptr<FakeClient> client_;
    std::unique_ptr<QXReportsController> controller_;
};

TEST_F(ReportsControllerTest, TheRequestCarriesItsHeadersInOrderAndTheBodysTypeAndLength) {
    const auto path = packaged("6F9619FF-8B86-D011-B42D-00C04FC964FF", "1234567");
    ASSERT_TRUE(controller_->submitPackageMultipartMimeAtPath(path, false));
    ASSERT_EQ(client_->uploads.size(), 1u);
    const auto& upload = client_->uploads[0];
    EXPECT_EQ(upload.path, path.string());
    EXPECT_FALSE(upload.immediately);
    const auto& r = upload.request;
    EXPECT_EQ(r.httpMethod, "POST");
    EXPECT_EQ(r.url, kEndpoint + "/sdk-api/v1/platforms/mac/apps/com.wovanu.typing/reports");
    EXPECT_EQ(r.cachePolicy, net::URLRequest::CachePolicy::ReloadIgnoringLocalCacheData);
    const std::vector<net::HTTPHeaders::Field> expected = {
        {"User-Agent", "Quellix Mac SDK/3.10.1"},
        {"Accept", "application/json"},
        {"Accept-Charset", "utf-8"},
        {"Accept-Language", "uk_UA"},
        {"Content-Language", "uk_UA"},
        {"X-Quellix-Developer-Token", "7c1e9a04b3d2f58e6a0c4b71d9e2f3a85b6c0d17"},
        {"X-Quellix-API-Client-Id", "com.balvik.quellix.mac"},
        {"X-Quellix-API-Client-Display-Version", "3.10.1"},
        {"X-Quellix-API-Client-Build-Version", "129"},
        {"X-Quellix-API-Key", "KEY-42"},
        {"Content-Type", "multipart/form-data; boundary=6F9619FF-8B86-D011-B42D-00C04FC964FF"},
        {"Content-Length", "7"},
    };
    EXPECT_EQ(r.headers.fields(), expected);
}

// Only a synchronous upload that cannot go to a background session blocks its caller, and
// then for two seconds at most.
TEST_F(ReportsControllerTest, OnlyABlockingUploadGetsTheShortTimeout) {
    struct Case {
        bool synchronously;
        bool background;
        double timeout;
    };
    const std::vector<Case> cases = {
        {true, false, 2}, {true, true, 10}, {false, false, 10}, {false, true, 10}};
    for (const auto& c : cases) {
        client_->uploads.clear();
        client_->background = c.background;
        const auto path = packaged("T", "x");
        ASSERT_TRUE(controller_->submitPackageMultipartMimeAtPath(path, c.synchronously));
        ASSERT_EQ(client_->uploads.size(), 1u);
        EXPECT_EQ(client_->uploads[0].request.timeoutInterval, c.timeout)
            << c.synchronously << c.background;
        EXPECT_EQ(client_->uploads[0].immediately, c.synchronously);
    }
}

TEST_F(ReportsControllerTest, NothingIsHandedOverForAnEmptyOrMissingPackageOrWithoutEndpoint) {
    struct Case {
        const char* name;
        std::optional<std::string> bytes;  // none: no file
        std::string endpoint;
    };
    const std::vector<Case> cases = {
        {"zero bytes", "", kEndpoint},
        {"missing", std::nullopt, kEndpoint},
        {"no endpoint", "body", ""},
    };
    for (const auto& c : cases) {
        ScopedEnvironment endpoint("QuellixReportsEndpoint", c.endpoint);
        const auto path = tree_.fileManager->preparedPath() / "E.multipartmime";
        std::filesystem::remove(path);
        if (c.bytes) test::writeFile(path, *c.bytes);
        EXPECT_FALSE(controller_->uploadPackagedReportAtPath(path, false)) << c.name;
        EXPECT_FALSE(controller_->uploadPackagedReportAtPath(path, true)) << c.name;
        EXPECT_TRUE(client_->uploads.empty()) << c.name;
        EXPECT_EQ(std::filesystem::exists(path), c.bytes.has_value()) << c.name;
    }
}

TEST_F(ReportsControllerTest, WithSubmissionOffThePackageWaitsInPrepared) {
    ScopedEnvironment off("QuellixSubmitReports", "NO");
    auto report = tree_.makeReport("RUN-S", {{"signal.qxrecord", kSignal}});
    EXPECT_FALSE(controller_->prepareAndSubmitReport(report, false, true));
    EXPECT_TRUE(log_.contains("[Quellix:Crash:Reports] Submission disabled"));
    EXPECT_TRUE(client_->uploads.empty());
    EXPECT_EQ(tree_.prepared().size(), 1u);
    EXPECT_TRUE(tree_.fileManager->processingPathContents().empty());
}

TEST_F(ReportsControllerTest, WithPackagingOffTheReportStaysInProcessing) {
    ScopedEnvironment off("QuellixPackageReports", "NO");
    const std::string crash = kSignal + "{\"threads\":[{\"stacktrace\":[8192,8200]}]}\n";
    auto report = tree_.makeReport(
        "RUN-P",
        {{"signal.qxrecord", crash},
         {"binary_images.qxrecord",
          "{\"load\":{\"path\":\"/gone.so\",\"uuid\":\"00\",\"base\":4096,\"size\":4096}}\n"}});
    EXPECT_FALSE(controller_->prepareAndSubmitReport(report, false, true));
    EXPECT_TRUE(log_.contains("[Quellix:Crash:Reports] Report packaging disabled"));
    EXPECT_EQ(report->path(), tree_.fileManager->processingPath() / "RUN-P");
    EXPECT_EQ(readFile(report->path() / "signal.qxrecord"), crash);
    EXPECT_TRUE(std::filesystem::exists(report->path() / "signal.qxrecord.symbolicated"))
        << "not processed";
    EXPECT_FALSE(std::filesystem::exists(tree_.fileManager->activePath() / "RUN-P"));
    EXPECT_TRUE(tree_.prepared().empty());
    EXPECT_TRUE(client_->uploads.empty());
}

TEST_F(ReportsControllerTest, AReportGoesThroughProcessingIntoOnePackageThatIsHandedOver) {
    auto report = tree_.makeReport("RUN-OK", {{"signal.qxrecord", kSignal}});
    ASSERT_TRUE(controller_->prepareAndSubmitReport(report, false, true));
    ASSERT_EQ(client_->uploads.size(), 1u);
    const std::filesystem::path path = client_->uploads[0].path;
    EXPECT_EQ(tree_.prepared(), std::vector<std::filesystem::path>{path});
    EXPECT_TRUE(tree_.fileManager->processingPathContents().empty());
    EXPECT_TRUE(tree_.fileManager->activePathContents().empty());
    const auto parts = test::partsOf(readFile(path), path.stem().string());
    ASSERT_GE(parts.size(), 2u);
    EXPECT_EQ(parts[1].name, "report_id");
    EXPECT_EQ(parts[1].content, "RUN-OK");
    EXPECT_TRUE(
        log_.contains("[Quellix:Crash:Reports] Packaged report with id 'RUN-OK' for submission"));
}

TEST_F(ReportsControllerTest, AReportThatCannotBeMovedIsLeftAlone) {
    auto report = tree_.makeReport("RUN-M", {{"signal.qxrecord", kSignal}});
    // A folder of that name is already being processed: the move must not mix the two.
    std::filesystem::create_directories(tree_.fileManager->processingPath() / "RUN-M");
    EXPECT_FALSE(controller_->prepareAndSubmitReport(report, false, true));
    EXPECT_TRUE(log_.contains("[Quellix:Crash:Reports] Unable to move report for processing"));
    EXPECT_EQ(readFile(tree_.fileManager->activePath() / "RUN-M" / "signal.qxrecord"), kSignal);
    EXPECT_TRUE(client_->uploads.empty());
}

// A package is deleted only once the server has taken it; the delegate hears of every end.
TEST_F(ReportsControllerTest, AFinishedUploadDeletesThePackageOnlyOnSuccess) {
    net::Error failure;
    failure.domain = "TRNNetworkError";
    failure.code = 3;
    for (const auto& error : {std::optional<net::Error>(), std::optional<net::Error>(failure)}) {
        const auto path = packaged("F", "body");
        delegate_->completions.clear();
        controller_->reportUploadAtPathCompletedWithError(path, error);
        EXPECT_EQ(std::filesystem::exists(path), error.has_value());
        ASSERT_EQ(delegate_->completions.size(), 1u);
        EXPECT_EQ(delegate_->completions[0].path, path);
        EXPECT_EQ(delegate_->completions[0].error.has_value(), error.has_value());
    }
}

TEST_F(ReportsControllerTest, OnlyACrashHandedOverIsToldToOrvelle) {
    Orvelle orvelle;
    ScopedClassRegistration linked(ORVAnalyticsClass::kClassName, orvelle.makeClass());
    delegate_->settings = {{"features", {{"orvelle_quellix_enabled", true}}}};
    struct Case {
        const char* name;
        std::map<std::string, std::string> files;
        bool submit;
        std::optional<int64_t> sentAt;  // milliseconds
    };
    const std::vector<Case> cases = {
        {"crash", {{"signal.qxrecord", kSignal}}, true, int64_t(1700000100000)},
        {"crash without a date", {{"exception.qxrecord", "{\"exception\":{}}\n"}}, true, 0},
        {"no crash", {{"errors_a.qxrecord", "{\"error\":{}}\n"}}, true, std::nullopt},
        {"crash not handed over", {{"signal.qxrecord", kSignal}}, false, std::nullopt},
    };
    int n = 0;
    for (const auto& c : cases) {
        ScopedEnvironment submit("QuellixSubmitReports", c.submit ? "YES" : "NO");
        orvelle.sent.clear();
        auto report = tree_.makeReport("RUN-O" + std::to_string(n++), c.files);
        EXPECT_EQ(controller_->prepareAndSubmitReport(report, false, true), c.submit) << c.name;
        ASSERT_EQ(orvelle.sent.size(), c.sentAt ? 1u : 0u) << c.name;
        if (c.sentAt) {
            EXPECT_EQ(orvelle.sent[0]["timestamp"], *c.sentAt) << c.name;
        }
    }
}

}  // namespace
}  // namespace wv
