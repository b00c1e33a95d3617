#include <gtest/gtest.h>

#include "UploadTestSupport.h"
#include "platform/foundation/Log.h"
#include "sdk/core/Tarnel.h"

namespace wv {
namespace {

using net::testing::ScriptedReply;
using net::testing::TestServer;
using test::advanceUntil;
using test::RecordingClientDelegate;

constexpr const char* kPath = "/reports";

class NetworkClientTest : public ::testing::Test {
  protected:
    NetworkClientTest() { makeClient(false); }
    void makeClient(bool allowBackground) {
        delegate_ = std::make_shared<RecordingClientDelegate>(allowBackground);
        client_ = QXNetworkClient::create(queue_, tree_.fileManager, delegate_);
    }
    // A packaged file in the prepared folder.
    std::string package(const std::string& name, const std::string& bytes = "BODY") {
        const auto path = tree_.fileManager->preparedPath() / (name + ".multipartmime");
        test::writeFile(path, bytes);
        return path.string();
    }
    net::URLRequest request(const TestServer& server, double timeout = 10) {
        net::URLRequest r(server.url(kPath), timeout);
        r.httpMethod = "POST";
        r.headers.set("Accept", "application/json");
        r.headers.set("Content-Type", "application/octet-stream");
        return r;
    }
    static ScriptedReply ok() { return {200, "{}", {}, "application/json"}; }

    test::PinnedRoots roots_;
    ManualRunLoop loop_;
    test::ScopedLogContext sdkLog_;
    test::ReportTree tree_;
    std::shared_ptr<OperationQueue> queue_ =
        std::make_shared<OperationQueue>("com.balvik.quellix.mac.work-queue", 1);
    std::shared_ptr<RecordingClientDelegate> delegate_;
    std::shared_ptr<QXNetworkClient> client_;
};

TEST_F(NetworkClientTest, TaskDescriptionIsThePathBelowTheRootAndGivesTheSameFileBack) {
    const std::string root = tree_.root().string();
    struct Case {
        std::string path;
        std::optional<std::string> description;
    };
    const std::vector<Case> cases = {
        {root + "/v3/prepared/A.multipartmime", "v3/prepared/A.multipartmime"},
        {root + "/sub/name.multipartmime", "sub/name.multipartmime"},
        {root + "/x" + root + "/y", "x" + root + "/y"},  // the root again, inside a name
        {root, std::nullopt},
        {root + "/", std::nullopt},
        {root + "extra/A.multipartmime", std::nullopt},
        {"/elsewhere/A.multipartmime", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto description = client_->relativeTaskPathForAbsolutePath(c.path);
        EXPECT_EQ(description, c.description) << c.path;
        if (description) {
            EXPECT_EQ(client_->absolutePathForRelativeTaskPath(*description), c.path);
        }
    }
    EXPECT_NE(sdkLog_.log().find("Error: path '/elsewhere/A.multipartmime' is not at the root '" +
                                 root + "'"),
              std::string::npos)
        << sdkLog_.log();
}

TEST_F(NetworkClientTest, AnUploadReachesTheServerWithItsFileAndIsReportedOnce) {
    auto server = TestServer::startHTTP();
    server->script(kPath, {ok()});
    const auto path = package("P1", "multipart bytes");
    client_->startUploadRequest(request(*server), path, false);
    ASSERT_TRUE(delegate_->waitForFinished(1));
    EXPECT_EQ(delegate_->finished()[0].path, path);
    EXPECT_FALSE(delegate_->finished()[0].error);
    const auto requests = server->requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].body, "multipart bytes");
}

// The second request is checked on the work queue after the first one has started.
TEST_F(NetworkClientTest, ASecondRequestForAFileInFlightStartsNothing) {
    auto server = TestServer::startHTTP();
    auto slow = ok();
    slow.delay = 1;
    server->script(kPath, {slow});
    const auto path = package("P2");
    client_->startUploadRequest(request(*server), path, false);
    client_->startUploadRequest(request(*server), path, false);
    ASSERT_TRUE(delegate_->waitForFinished(1));
    queue_->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(server->requestCount(), 1u);
    EXPECT_EQ(delegate_->finished().size(), 1u);
    // Once finished, the same file may go again.
    client_->startUploadRequest(request(*server), path, false);
    ASSERT_TRUE(delegate_->waitForFinished(2));
    EXPECT_EQ(server->requestCount(), 2u);
}

TEST_F(NetworkClientTest, AMissingFileIsReportedWithItsPath) {
    auto server = TestServer::startHTTP();
    const auto path = (tree_.fileManager->preparedPath() / "GONE.multipartmime").string();
    client_->startUploadRequest(request(*server), path, false);
    ASSERT_TRUE(delegate_->waitForFinished(1));
    const auto finished = delegate_->finished();
    const auto& error = finished[0].error;
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain, "QXNetworkError");
    EXPECT_EQ(error->code, -2);
    EXPECT_EQ(std::any_cast<std::string>(error->userInfo.at("path")), path);
    EXPECT_EQ(delegate_->finished()[0].path, path);
    EXPECT_EQ(server->requestCount(), 0u);
}

// A task without a description could never be tied to its file again.
TEST_F(NetworkClientTest, APackageOutsideTheRootIsRefusedWithALogLine) {
    auto server = TestServer::startHTTP();
    server->script(kPath, {ok()});
    test::TempFolder elsewhere;
    test::writeFile(elsewhere / "X.multipartmime", "BODY");
    const std::string path = (elsewhere / "X.multipartmime").string();
    client_->startUploadRequest(request(*server), path, false);
    queue_->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(server->requestCount(), 0u);
    EXPECT_TRUE(delegate_->finished().empty());
    EXPECT_NE(sdkLog_.log().find("Error: path '" + path + "' is not at the root"),
              std::string::npos);
}

TEST_F(NetworkClientTest, ARetryWaitsForRetryAfterOnTheClock) {
    struct Case {
        const char* name;
        ScriptedReply first;
        double notBefore;  // seconds the restart must wait
    };
    const std::vector<Case> cases = {
        {"429 Retry-After 30", {429, "slow", {{"Retry-After", "30"}}}, 30},
        {"503 without Retry-After", {503, "later"}, 2},
        {"429 garbage Retry-After", {429, "slow", {{"Retry-After", "soon"}}}, 0},
        {"429 huge Retry-After", {429, "slow", {{"Retry-After", "99999999999"}}}, 3600},
    };
    int n = 0;
    for (const auto& c : cases) {
        auto server = TestServer::startHTTP();
        server->script(kPath, {c.first, ok()});
        const auto path = package("R" + std::to_string(n++));
        const size_t before = delegate_->finished().size();
        client_->startUploadRequest(request(*server), path, false);
        ASSERT_TRUE(server->waitForRequests(1, 20)) << c.name;
        if (c.notBefore > 0) {
            // Let the reply be handled, then come up to just short of the wait.
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            queue_->waitUntilAllOperationsAreFinished();
            loop_.advance(c.notBefore - 0.1);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            EXPECT_EQ(server->requestCount(), 1u) << c.name << ": restarted too early";
        }
        ASSERT_TRUE(advanceUntil(loop_, 20, [&] { return delegate_->finished().size() > before; }))
            << c.name;
        EXPECT_EQ(server->requestCount(), 2u) << c.name;
        EXPECT_FALSE(delegate_->finished().back().error) << c.name;
    }
}

// A request for the file while its restart waits must not start a second upload beside it.
TEST_F(NetworkClientTest, ARequestWhileARestartWaitsStartsNothing) {
    auto server = TestServer::startHTTP();
    server->script(kPath, {{503, "later", {{"Retry-After", "5"}}}, ok()});
    const auto path = package("W1");
    client_->startUploadRequest(request(*server), path, false);
    ASSERT_TRUE(server->waitForRequests(1, 20));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    queue_->waitUntilAllOperationsAreFinished();
    client_->startUploadRequest(request(*server), path, false);
    queue_->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(server->requestCount(), 1u);
    ASSERT_TRUE(advanceUntil(loop_, 20, [&] { return !delegate_->finished().empty(); }));
    queue_->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(server->requestCount(), 2u);
    EXPECT_EQ(delegate_->finished().size(), 1u);
}

TEST_F(NetworkClientTest, RestartsOfOneFileStopAtTenAndTheFileStays) {
    auto server = TestServer::startHTTP();
    server->script(kPath, {{503, "down"}});
    const auto path = package("C1");
    client_->startUploadRequest(request(*server), path, false);
    ASSERT_TRUE(advanceUntil(loop_, 120, [&] { return !delegate_->finished().empty(); }));
    queue_->waitUntilAllOperationsAreFinished();
    loop_.advance(60);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(server->requestCount(), 11u);
    const auto finished = delegate_->finished();
    ASSERT_EQ(finished.size(), 1u);
    const auto& error = finished[0].error;
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain, "TRNNetworkError");
    EXPECT_TRUE(std::filesystem::exists(path));
}

// Replies that are final: reported to the delegate at once, without another try.
TEST_F(NetworkClientTest, FinalRepliesReachTheDelegateUnretried) {
    struct Case {
        const char* name;
        ScriptedReply reply;
        bool success;
    };
    const std::vector<Case> cases = {
        {"201 json", {201, "{}", {}, "application/json"}, true},
        {"200 garbage json body", {200, "\x01\x02 not json", {}, "application/json"}, true},
        {"200 of another type", {200, "<html>", {}, "text/html"}, false},
        {"400", {400, "bad"}, false},
        {"404", {404, "none"}, false},
    };
    int n = 0;
    for (const auto& c : cases) {
        auto server = TestServer::startHTTP();
        server->script(kPath, {c.reply, ok()});
        const size_t before = delegate_->finished().size();
        client_->startUploadRequest(request(*server), package("F" + std::to_string(n++)), false);
        ASSERT_TRUE(delegate_->waitForFinished(before + 1)) << c.name;
        loop_.advance(10);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(server->requestCount(), 1u) << c.name;
        EXPECT_EQ(!delegate_->finished().back().error, c.success) << c.name;
    }
}

// Without background sessions an urgent upload blocks its caller and reports there, and only
// a success.
TEST_F(NetworkClientTest, AnImmediateUploadBlocksAndReportsOnlyASuccess) {
    makeClient(true);  // allowed, but this system has no background session to give
    EXPECT_FALSE(client_->supportsBackgroundRequests());
    struct Case {
        const char* name;
        ScriptedReply reply;
        bool reported;
    };
    ScriptedReply reset(200, std::string(100000, 'x'), {}, "application/octet-stream");
    reset.dropAfter = 10;
    const std::vector<Case> cases = {
        {"200", ok(), true},
        {"500", {500, "down"}, false},
        {"429", {429, "slow", {{"Retry-After", "1"}}}, false},
        {"reset", reset, false},
        {"never answers", ScriptedReply::stalled(60), false},
    };
    int n = 0;
    for (const auto& c : cases) {
        auto server = TestServer::startHTTP();
        server->script(kPath, {c.reply});
        const size_t before = delegate_->finished().size();
        const auto path = package("I" + std::to_string(n++));
        client_->startUploadRequest(request(*server, 2), path, true);
        // Blocking: by now the exchange is over.
        EXPECT_EQ(server->requestCount(), 1u) << c.name;
        const auto finished = delegate_->finished();
        ASSERT_EQ(finished.size(), before + (c.reported ? 1 : 0)) << c.name;
        if (c.reported) {
            EXPECT_EQ(finished.back().thread, std::this_thread::get_id()) << c.name;
            EXPECT_FALSE(finished.back().error) << c.name;
        }
        EXPECT_TRUE(std::filesystem::exists(path)) << c.name;
    }
}

TEST_F(NetworkClientTest, AnImmediateUploadOfAMissingFileOnlyLogs) {
    auto server = TestServer::startHTTP();
    client_->startUploadRequest(request(*server), "/nonexistent/Z.multipartmime", true);
    EXPECT_EQ(server->requestCount(), 0u);
    EXPECT_TRUE(delegate_->finished().empty());
    EXPECT_NE(sdkLog_.log().find("Error: file unreadable"), std::string::npos);
}

TEST_F(NetworkClientTest, ReconnectingRunsTheBlockAtOnce) {
    bool ran = false;
    client_->attemptToReconnectBackgroundSessionWithCompletionBlock([&] { ran = true; });
    EXPECT_TRUE(ran);
}

// Only a chain to the pinned root is accepted, on both paths, whatever debug mode says.
TEST_F(NetworkClientTest, PinningHoldsInDebugModeToo) {
    struct Case {
        const char* name;
        net::testing::TlsIdentity identity;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {"pinned root", test::TestPKI::shared().leafA(), true},
        {"pinned root via intermediate", test::TestPKI::shared().leafAViaIntermediate(), true},
        {"other root", test::TestPKI::shared().leafB(), false},
        {"self-signed", test::TestPKI::shared().selfSigned(), false},
    };
    int n = 0;
    for (bool debug : {false, true}) {
        Tarnel::sharedSDK().setDebug(debug);
        for (const auto& c : cases) {
            const std::string what = std::string(c.name) + (debug ? " (debug)" : "");
            auto server = TestServer::startHTTPS(c.identity);
            server->script(kPath, {ok()});
            net::URLRequest r(server->url(kPath), 10);
            r.httpMethod = "POST";
            r.headers.set("Accept", "application/json");

            size_t before = delegate_->finished().size();
            client_->startUploadRequest(r, package("T" + std::to_string(n++)), false);
            ASSERT_TRUE(delegate_->waitForFinished(before + 1)) << what;
            const auto error = delegate_->finished().back().error;
            EXPECT_EQ(!error, c.accepted) << what << ": " << (error ? error->description() : "");

            before = delegate_->finished().size();
            client_->startUploadRequest(r, package("T" + std::to_string(n++)), true);
            EXPECT_EQ(delegate_->finished().size(), before + (c.accepted ? 1 : 0)) << what;
            EXPECT_EQ(server->requestCount(), c.accepted ? 2u : 0u) << what;
        }
    }
    Tarnel::sharedSDK().setDebug(false);
}

}  // namespace
}  // namespace wv
