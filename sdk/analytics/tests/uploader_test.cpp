#include <gtest/gtest.h>

#include "UploadFixtures.h"
#include "platform/foundation/ProcessInfo.h"
#include "sdk/analytics/PLRCompressLogOperation.h"
#include "sdk/analytics/PLRPackageLogOperation.h"
#include "sdk/analytics/PLRUploadOperation.h"
#include "sdk/analytics/PLRUploader.h"
#include "sdk/core/Tarnel.h"

namespace wv {
namespace {

using net::testing::ScriptedReply;
using testing::advanceUntil;
using testing::RecordingDelegate;
using testing::TestPKI;
using testing::TestServer;

// One log taken through compression and packaging: the body and its name.
struct Body {
    std::filesystem::path path;
    std::string name;
    std::string log;
};

Body makeBody(const std::filesystem::path& dir, const std::string& base, const std::string& log) {
    testing::writeFile(dir / (base + ".log"), log);
    PLRCompressLogOperation compress(dir / (base + ".log"), dir / (base + ".gz"));
    compress.main();
    const auto boundary = PLRPackageLogOperation::boundaryForCompressedURL(dir / (base + ".gz"));
    PLRPackageLogOperation package(
        dir / (base + ".gz"),
        PLRPackageLogOperation::multipartURLForCompressedURL(dir / (base + ".gz"), boundary),
        boundary);
    package.main();
    EXPECT_TRUE(compress.success() && package.success());
    return {package.packagedLogURL(), boundary, log};
}

class UploaderTest : public ::testing::Test {
  protected:
    UploaderTest()
        : dir_(testing::freshFolder()),
          queue_(std::make_shared<OperationQueue>("io.plurio.EventQueue", 1)),
          delegate_(std::make_shared<RecordingDelegate>(dir_)),
          uploader_(PLRUploader::create(queue_, delegate_)) {}
    ~UploaderTest() override {
        ProcessInfo::shared().setThermalStateForTesting(ProcessInfo::ThermalState::Nominal);
    }

    std::unique_ptr<TestServer> server(const net::testing::TlsIdentity& identity,
                                       std::vector<ScriptedReply> replies) {
        auto s = TestServer::startHTTPS(identity);
        s->script("/api/v1/events", std::move(replies));
        return s;
    }
    void upload(const TestServer& s, const Body& body) {
        queue_->addOperation(std::make_shared<PLRUploadOperation>(
            uploader_, s.url("/api/v1/events"), "KEY-123", body.path, body.name));
    }
    double sessionTimeout() {
        double timeout = -1;
        queue_->addOperation(
            [&] { timeout = uploader_->session()->configuration()->timeoutIntervalForResource; });
        queue_->waitUntilAllOperationsAreFinished();
        return timeout;
    }

    void checkPinning();

    testing::PinnedRoots roots_;
    ManualRunLoop loop_;
    std::filesystem::path dir_;
    std::shared_ptr<OperationQueue> queue_;
    std::shared_ptr<RecordingDelegate> delegate_;
    std::shared_ptr<PLRUploader> uploader_;
};

TEST_F(UploaderTest, TheServerSeesEveryHeaderAndTheCompressedLogAsItsOnePart) {
    auto s = server(TestPKI::shared().leafA(), {{202, "{}", {}, "application/json"}});
    const Body body = makeBody(dir_, "6F9619FF-8B86-D011-B42D-00C04FC964FF",
                               "1\tmetadata\t2\t{}\n2\tcustom\t9\t{\"a\":\"é\"}\n");
    const auto size = std::filesystem::file_size(body.path);
    upload(*s, body);
    ASSERT_TRUE(delegate_->waitForFinished(1));
    const auto finished = delegate_->finished();
    EXPECT_EQ(finished[0].name, body.name);
    EXPECT_FALSE(finished[0].error) << finished[0].error->description();
    EXPECT_FALSE(std::filesystem::exists(body.path)) << "a delivered body stays";

    const auto requests = s->requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto& r = requests[0];
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.path, "/api/v1/events");
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Content-Type", "multipart/form-data; boundary=" + body.name},
        {"Content-Length", std::to_string(size)},
        {"User-Agent", "Plurio Mac SDK/1.3.7"},
        {"X-QUELLIX-DEVELOPER-TOKEN", "7c1e9a04b3d2f58e6a0c4b71d9e2f3a85b6c0d17"},
        {"X-QUELLIX-API-CLIENT-TYPE", "Plurio Mac SDK"},
        {"X-QUELLIX-API-CLIENT-VERSION", "30"},
        {"X-QUELLIX-API-CLIENT-DISPLAY-VERSION", "1.3.7"},
        {"X-QUELLIX-API-CLIENT-BUILD-VERSION", "30"},
        {"X-QUELLIX-API-KEY", "KEY-123"},
    };
    for (const auto& [name, value] : expected) EXPECT_EQ(r.headers.value(name), value) << name;
    const auto stamp = r.headers.value("X-Quellix-Api-Client-Packaged-Timestamp");
    ASSERT_TRUE(stamp);
    EXPECT_EQ(stamp->size(), 10u) << "whole seconds, not milliseconds: " << *stamp;
    ASSERT_EQ(r.parts.size(), 1u);
    EXPECT_EQ(r.parts[0].name, "6F9619FF-8B86-D011-B42D-00C04FC964FF.gz");
    EXPECT_EQ(r.parts[0].filename, "6F9619FF-8B86-D011-B42D-00C04FC964FF.gz");
    EXPECT_EQ(r.parts[0].contentType, "application/vnd.quellix.mac.events");
    EXPECT_EQ(testing::gunzip(r.parts[0].content), body.log);
}

TEST_F(UploaderTest, ARejectionIsNotRetriedAndTheBodyGoes) {
    auto s = server(TestPKI::shared().leafA(), {{400, "bad"}});
    const Body body = makeBody(dir_, "R1", "1\tmetadata\t2\t{}\n");
    upload(*s, body);
    ASSERT_TRUE(delegate_->waitForFinished(1));
    loop_.advance(5000);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(s->requestCount(), 1u);
    ASSERT_TRUE(delegate_->finished()[0].error);
    EXPECT_EQ(delegate_->finished()[0].error->code, -5);
    EXPECT_FALSE(std::filesystem::exists(body.path));
}

// Server trouble and rate limits go again after their back-off, with the very same request.
TEST_F(UploaderTest, TemporaryTroubleGoesAgainAfterItsBackOffWithTheSameHeaders) {
    struct Case {
        const char* name;
        ScriptedReply first;
        double notBefore;
    };
    const std::vector<Case> cases = {
        {"503", {503, "later"}, 1.7},
        {"429 with Retry-After", {429, "slow down", {{"Retry-After", "20"}}}, 17.9},
        {"reset mid-reply",
         [] {
             ScriptedReply r(200, std::string(100000, 'x'), {}, "application/octet-stream");
             r.dropAfter = 10;
             return r;
         }(),
         1.7},
    };
    for (const auto& c : cases) {
        auto s = server(TestPKI::shared().leafA(), {c.first, {200, "{}"}});
        const Body body = makeBody(dir_, std::string("T-") + c.name, "1\tmetadata\t2\t{}\n");
        const size_t before = delegate_->finished().size();
        const int completedBefore = delegate_->completed();
        upload(*s, body);
        ASSERT_TRUE(s->waitForRequests(1, 10)) << c.name;
        ASSERT_TRUE(testing::eventually([&] { return delegate_->completed() > completedBefore; }))
            << c.name;
        loop_.advance(c.notBefore - 0.01);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(s->requestCount(), 1u) << c.name << ": retried before its back-off";
        ASSERT_TRUE(advanceUntil(loop_, 30, [&] { return delegate_->finished().size() > before; }))
            << c.name;
        const auto requests = s->requests();
        ASSERT_EQ(requests.size(), 2u) << c.name;
        // The server adds the peer's port, which a new connection changes.
        auto sent = [](net::HTTPHeaders h) {
            h.remove("REMOTE_PORT");
            return h.fields();
        };
        EXPECT_EQ(sent(requests[0].headers), sent(requests[1].headers)) << c.name;
        ASSERT_EQ(requests[1].parts.size(), 1u) << c.name;
        EXPECT_EQ(requests[0].parts[0].content, requests[1].parts[0].content) << c.name;
        EXPECT_FALSE(delegate_->finished().back().error) << c.name;
        EXPECT_FALSE(std::filesystem::exists(body.path)) << c.name;
    }
}

TEST_F(UploaderTest, AStallPastTheTimeoutIsRetried) {
    uploader_->setDefaultUploadTimeout(1);
    auto s = server(TestPKI::shared().leafA(), {ScriptedReply::stalled(4), {200, "{}"}});
    const Body body = makeBody(dir_, "S1", "1\tmetadata\t2\t{}\n");
    upload(*s, body);
    ASSERT_TRUE(advanceUntil(
        loop_, 10, [&] { return !delegate_->finished().empty(); }, 0.25));
    EXPECT_EQ(s->requestCount(), 2u);
    EXPECT_FALSE(delegate_->finished()[0].error);
}

// Debug mode only makes the kit talk more; it never trusts more.
TEST_F(UploaderTest, OnlyTheTestsRootIsTrustedAndAnotherFailsUnretried) {
    for (bool debug : {false, true}) {
        Tarnel::sharedSDK().setDebug(debug);
        checkPinning();
    }
    Tarnel::sharedSDK().setDebug(false);
}

void UploaderTest::checkPinning() {
    struct Case {
        const char* name;
        net::testing::TlsIdentity identity;
        int64_t code;
    };
    const auto& pki = TestPKI::shared();
    const std::vector<Case> cases = {
        {"pinned root", pki.leafA(), 0},
        {"system root", pki.leafB(), net::URLError::ServerCertificateUntrusted},
        {"self-signed", pki.selfSigned(), net::URLError::ServerCertificateUntrusted},
    };
    for (const auto& c : cases) {
        auto s = server(c.identity, {{200, "{}"}});
        const Body body = makeBody(dir_, std::string("P-") + c.name, "1\tmetadata\t2\t{}\n");
        const size_t before = delegate_->finished().size();
        upload(*s, body);
        ASSERT_TRUE(delegate_->waitForFinished(before + 1)) << c.name;
        const auto f = delegate_->finished().back();
        EXPECT_EQ(f.error ? f.error->code : 0, c.code) << c.name;
        loop_.advance(100);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(s->requestCount(), c.code == 0 ? 1u : 0u) << c.name;
        EXPECT_EQ(delegate_->finished().size(), before + 1) << c.name << ": retried";
    }
}

// Replies that end the upload without another try; a redirect is not followed, and a page
// of HTML under a success status is taken as the success it says it is.
TEST_F(UploaderTest, RepliesThatEndTheUploadWithoutRetry) {
    struct Case {
        const char* name;
        ScriptedReply reply;
        int64_t code;
    };
    const std::vector<Case> cases = {
        {"redirect", {302, "", {{"Location", "/elsewhere"}}}, -4},
        {"moved for good", {301, "", {{"Location", "/elsewhere"}}}, -4},
        {"gone", {410, "gone"}, -5},
        {"HTML under 200", {200, "<html><body>ok</body></html>", {}, "text/html"}, 0},
    };
    for (const auto& c : cases) {
        auto s = server(TestPKI::shared().leafA(), {c.reply});
        s->script("/elsewhere", {{200, "{}"}});
        const Body body = makeBody(dir_, std::string("N-") + c.name, "1\tmetadata\t2\t{}\n");
        const size_t before = delegate_->finished().size();
        upload(*s, body);
        ASSERT_TRUE(delegate_->waitForFinished(before + 1)) << c.name;
        loop_.advance(100);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const auto f = delegate_->finished().back();
        EXPECT_EQ(f.error ? f.error->code : 0, c.code) << c.name;
        const auto requests = s->requests();
        ASSERT_EQ(requests.size(), 1u) << c.name;
        EXPECT_EQ(requests[0].path, "/api/v1/events") << c.name;
        EXPECT_FALSE(std::filesystem::exists(body.path)) << c.name;
    }
}

TEST_F(UploaderTest, OneTransferPerNameAtATime) {
    auto s = server(TestPKI::shared().leafA(), {ScriptedReply::stalled(0.5), {200, "{}"}});
    const Body body = makeBody(dir_, "D1", "1\tmetadata\t2\t{}\n");
    testing::KitLog log;
    upload(*s, body);
    upload(*s, body);
    ASSERT_TRUE(delegate_->waitForFinished(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(s->requestCount(), 1u);
    EXPECT_EQ(delegate_->finished().size(), 1u);
    EXPECT_EQ(log.count("[Plurio] A task currently exists for '" + body.name + "', skipping"), 1u);
}

TEST_F(UploaderTest, TransfersThatCannotStartReportTheirCode) {
    struct Case {
        const char* name;
        std::string path;
        std::string uniqueName;
        int64_t code;
    };
    testing::writeFile(dir_ / "present.multipartmime", "body");
    const std::vector<Case> cases = {
        {"empty name", (dir_ / "present.multipartmime").string(), "", -2},
        {"empty path", "", "present", -2},
        {"deleted body", (dir_ / "gone.multipartmime").string(), "gone", -8},
        {"directory", dir_.string(), "dir", -8},
    };
    for (const auto& c : cases) {
        const size_t before = delegate_->finished().size();
        uploader_->startUploadRequest(net::URLRequest("https://127.0.0.1:1/x"), c.path,
                                      c.uniqueName);
        ASSERT_TRUE(delegate_->waitForFinished(before + 1)) << c.name;
        const auto f = delegate_->finished().back();
        ASSERT_TRUE(f.error) << c.name;
        EXPECT_EQ(f.error->domain, "TRNNetworkError") << c.name;
        EXPECT_EQ(f.error->code, c.code) << c.name;
        EXPECT_EQ(std::any_cast<std::string>(f.error->userInfo.at("PLRUploaderUniqueName")),
                  c.uniqueName.empty() ? "(null)" : c.uniqueName)
            << c.name;
    }
}

// Until the settings arrive the shorter limit holds in normal conditions; thermal pressure
// switches to the low-power limit, and each change builds a new session.
TEST_F(UploaderTest, TheSessionTimeoutFollowsSettingsAndThermalState) {
    EXPECT_EQ(sessionTimeout(), 3600);
    uploader_->setDefaultUploadTimeout(21600);
    uploader_->setLowPowerUploadTimeout(3600);
    EXPECT_EQ(sessionTimeout(), 21600);
    for (auto state : {ProcessInfo::ThermalState::Fair, ProcessInfo::ThermalState::Serious,
                       ProcessInfo::ThermalState::Critical}) {
        ProcessInfo::shared().setThermalStateForTesting(state);
        EXPECT_TRUE(uploader_->lowPowerMode());
        EXPECT_EQ(sessionTimeout(), 3600) << int(state);
        bool cellular = true;
        queue_->addOperation(
            [&] { cellular = uploader_->session()->configuration()->allowsCellularAccess; });
        queue_->waitUntilAllOperationsAreFinished();
        EXPECT_FALSE(cellular);
    }
    ProcessInfo::shared().setThermalStateForTesting(ProcessInfo::ThermalState::Nominal);
    EXPECT_FALSE(uploader_->lowPowerMode());
    EXPECT_EQ(sessionTimeout(), 21600);
}

}  // namespace
}  // namespace wv
