#include "sdk/core/QXURLSession.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>

#include "platform/net/TrustAnchors.h"
#include "platform/net/testing/TestServer.h"
#include "sdk/core/QXPlatformURLSession.h"

namespace wv {
namespace {

using net::testing::ScriptedReply;
using net::testing::TestPKI;
using net::testing::TestServer;

// Runs the test body with the kit's own session instead of the platform's.
class QXURLSessionOwn : public ::testing::Test {
  protected:
    QXURLSessionOwn() { QXURLSession::setPlatformSessionAvailableForTesting(false); }
    ~QXURLSessionOwn() override {
        QXURLSession::setPlatformSessionAvailableForTesting(std::nullopt);
    }
};

struct Result {
    std::optional<std::string> data;
    std::optional<net::URLResponse> response;
    std::optional<net::Error> error;
};

Result run(QXURLSession& session, const net::URLRequest& request) {
    auto promise = std::make_shared<std::promise<Result>>();
    auto task = session.dataTaskWithRequest(request, [promise](auto d, auto r, auto e) {
        promise->set_value({d, r, e});
    });
    task->resume();
    auto f = promise->get_future();
    EXPECT_EQ(f.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    return f.get();
}

TEST(QXURLSession, ThePlatformSessionIsHandedOutWhereARequestFieldBeatsTheConfiguration) {
    ASSERT_TRUE(QXURLSession::NSURLSessionShouldBeUsed());
    auto config = QXURLSessionConfiguration::defaultSessionConfiguration();
    EXPECT_TRUE(config->isPlatformConfiguration());
    EXPECT_EQ(config->timeoutIntervalForRequest, 60.0);
    EXPECT_EQ(QXURLSessionConfiguration::backgroundSessionConfigurationWithIdentifier("id"),
              nullptr);
    config->HTTPAdditionalHeaders.set("X-Both", "config");
    auto session = QXURLSession::sessionWithConfiguration(config);
    ASSERT_TRUE(dynamic_cast<QXPlatformURLSession*>(session.get()));

    auto server = TestServer::startHTTP();
    server->script("/h", {{200, "ok"}});
    net::URLRequest request(server->url("/h"));
    request.headers.set("X-Both", "request");
    EXPECT_EQ(run(*session, request).data, "ok");
    EXPECT_EQ(server->requests().at(0).headers.value("X-Both"), "request");
}

TEST_F(QXURLSessionOwn, ConfigurationsAreZeroAndCopiesCarryOnlyTheHeaders) {
    auto config = QXURLSessionConfiguration::defaultSessionConfiguration();
    EXPECT_FALSE(config->isPlatformConfiguration());
    EXPECT_EQ(config->timeoutIntervalForRequest, 0.0);
    EXPECT_FALSE(config->allowsCellularAccess);
    config->HTTPAdditionalHeaders.set("A", "1");
    config->timeoutIntervalForRequest = 5;
    config->setSessionSendsLaunchEvents(true);
    EXPECT_FALSE(config->sessionSendsLaunchEvents());
    auto copy = config->copy();
    EXPECT_EQ(copy->HTTPAdditionalHeaders.value("A"), "1");
    EXPECT_EQ(copy->timeoutIntervalForRequest, 0.0);

    EXPECT_EQ(QXURLSessionConfiguration::backgroundSessionConfiguration("x"), nullptr);
    EXPECT_EQ(QXURLSession::sessionWithConfiguration(
                  QXURLSessionConfiguration::backgroundSessionConfigurationWithIdentifier("x")),
              nullptr);
    auto session = QXURLSession::sessionWithConfiguration(config);
    ASSERT_TRUE(session);
    EXPECT_FALSE(dynamic_cast<QXPlatformURLSession*>(session.get()));
}

TEST_F(QXURLSessionOwn, JoinsConfigurationHeadersAndGivesNoDataForAnEmptyBody) {
    auto server = TestServer::startHTTP();
    server->script("/empty", {{204, "", {}, ""}});
    server->script("/full", {{200, "body"}});
    auto config = QXURLSessionConfiguration::defaultSessionConfiguration();
    config->HTTPAdditionalHeaders.set("X-Tag", "config");
    auto session = QXURLSession::sessionWithConfiguration(config);
    net::URLRequest request(server->url("/empty"));
    request.headers.set("X-Tag", "request");
    Result empty = run(*session, request);
    EXPECT_FALSE(empty.error);
    EXPECT_FALSE(empty.data.has_value());
    EXPECT_EQ(empty.response->statusCode, 204);
    EXPECT_EQ(server->requests().at(0).headers.value("X-Tag"), "request, config");
    EXPECT_EQ(run(*session, net::URLRequest(server->url("/full"))).data, "body");
}

// The two paths differ on purpose: the platform session lets a request's field beat the
// configuration's, the own session joins the configuration's value to the request's. Names
// match whatever their case, and a header only one side has is sent as it is.
TEST(QXURLSessionHeaders, EachPathAppliesItsOwnRuleToTheConfigurationsHeaders) {
    struct Case {
        std::string name;
        bool platform;
        std::string sameCase, otherCase, configOnly, requestOnly;
    };
    const std::vector<Case> cases = {
        {"platform session", true, "request", "request", "config", "request"},
        {"own session", false, "request, config", "request, config", "config", "request"},
    };
    for (const auto& c : cases) {
        QXURLSession::setPlatformSessionAvailableForTesting(c.platform);
        auto config = QXURLSessionConfiguration::defaultSessionConfiguration();
        config->HTTPAdditionalHeaders.set("X-Same", "config");
        config->HTTPAdditionalHeaders.set("X-Other-Case", "config");
        config->HTTPAdditionalHeaders.set("X-Config-Only", "config");
        auto session = QXURLSession::sessionWithConfiguration(config);
        QXURLSession::setPlatformSessionAvailableForTesting(std::nullopt);
        ASSERT_TRUE(session) << c.name;
        EXPECT_EQ(dynamic_cast<QXPlatformURLSession*>(session.get()) != nullptr, c.platform)
            << c.name;

        auto server = TestServer::startHTTP();
        server->script("/h", {{200, "ok"}});
        net::URLRequest request(server->url("/h"));
        request.headers.set("X-Same", "request");
        request.headers.set("x-other-case", "request");
        request.headers.set("X-Request-Only", "request");
        EXPECT_EQ(run(*session, request).data, "ok") << c.name;
        ASSERT_EQ(server->requestCount(), 1u) << c.name;
        const auto& sent = server->requests().at(0).headers;
        EXPECT_EQ(sent.value("X-Same"), c.sameCase) << c.name;
        EXPECT_EQ(sent.value("X-Other-Case"), c.otherCase) << c.name;
        EXPECT_EQ(sent.value("X-Config-Only"), c.configOnly) << c.name;
        EXPECT_EQ(sent.value("X-Request-Only"), c.requestOnly) << c.name;
    }
}

class Recorder : public QXURLSessionDelegate {
  public:
    void URLSessionDataTaskDidReceiveResponse(QXURLSession&, QXURLSessionTask&,
                                              const net::URLResponse& r,
                                              std::function<void(int)>) override {
        add("response " + std::to_string(r.statusCode));
    }
    void URLSessionDataTaskDidReceiveData(QXURLSession&, QXURLSessionTask&,
                                          const std::string& d) override {
        add("data " + d);
    }
    void URLSessionDownloadTaskDidFinishDownloadingToURL(QXURLSession&, QXURLSessionTask&,
                                                         const std::string& path) override {
        std::ifstream in(path);
        add("file " + std::string((std::istreambuf_iterator<char>(in)), {}));
        lastPath = path;
    }
    void URLSessionTaskDidCompleteWithError(QXURLSession&, QXURLSessionTask&,
                                            const std::optional<net::Error>& e) override {
        add("complete " + std::to_string(e ? e->code : 0));
    }
    void add(std::string e) {
        std::lock_guard lock(mutex);
        events.push_back(std::move(e));
        changed.notify_all();
    }
    std::vector<std::string> waitFor(size_t n) {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, std::chrono::seconds(10), [&] { return events.size() >= n; });
        return events;
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> events;
    std::string lastPath;
};

TEST_F(QXURLSessionOwn, ForwardsTaskEventsToItsDelegateOnlyForTasksWithoutABlock) {
    auto server = TestServer::startHTTP();
    server->script("/d", {{200, "abc", {}, "application/octet-stream"}});
    auto delegate = std::make_shared<Recorder>();
    auto session = QXURLSession::sessionWithConfiguration(
        QXURLSessionConfiguration::defaultSessionConfiguration(), delegate);
    run(*session, net::URLRequest(server->url("/d")));
    auto task = session->dataTaskWithRequest(net::URLRequest(server->url("/d")));
    task->resume();
    task->resume();
    EXPECT_EQ(delegate->waitFor(3),
              (std::vector<std::string>{"response 200", "data abc", "complete 0"}));
    auto download = session->downloadTaskWithURL(server->url("/d"));
    download->resume();
    auto events = delegate->waitFor(6);
    ASSERT_EQ(events.size(), 6u);
    EXPECT_EQ(events[4], "file abc");
    EXPECT_EQ(events[5], "complete 0");
    EXPECT_FALSE(std::filesystem::exists(delegate->lastPath));
    EXPECT_EQ(server->requestCount(), 3u);
}

TEST_F(QXURLSessionOwn, ADownloadFileIsGoneOnceItsBlockReturnsAndGetTasksIsAlwaysEmpty) {
    auto server = TestServer::startHTTP();
    server->script("/f", {{200, "file body", {}, "application/octet-stream"}});
    server->script("/slow", {ScriptedReply::stalled(3)});
    auto session = QXURLSession::sessionWithConfiguration(
        QXURLSessionConfiguration::defaultSessionConfiguration(), std::make_shared<Recorder>());
    auto running = session->dataTaskWithRequest(net::URLRequest(server->url("/slow")));
    running->resume();
    std::promise<std::array<size_t, 3>> counts;
    session->getTasksWithCompletionHandler([&](auto d, auto u, auto l) {
        counts.set_value({d.size(), u.size(), l.size()});
    });
    EXPECT_EQ(counts.get_future().get(), (std::array<size_t, 3>{0, 0, 0}));

    std::promise<std::string> path;
    std::string seen;
    session
        ->downloadTaskWithRequest(net::URLRequest(server->url("/f")),
                                  [&](auto p, auto, auto e) {
                                      EXPECT_FALSE(e);
                                      std::ifstream in(*p);
                                      seen.assign(std::istreambuf_iterator<char>(in), {});
                                      path.set_value(*p);
                                  })
        ->resume();
    const std::string file = path.get_future().get();
    EXPECT_EQ(seen, "file body");
    for (int i = 0; i < 100 && std::filesystem::exists(file); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(std::filesystem::exists(file));
    running->cancel();
}

// The own session leaves trust to the connection's default handling: the system's store
// decides, with root B standing in for it.
TEST_F(QXURLSessionOwn, TLSIsCheckedAgainstTheSystemStore) {
    const auto& pki = TestPKI::shared();
    net::TrustAnchors::setSystemAnchorsForTesting(std::vector{pki.rootB()});
    struct Case {
        std::string name;
        net::testing::TlsIdentity identity;
        int64_t expected;
    };
    const std::vector<Case> cases = {
        {"system root", pki.leafB(), 0},
        {"unknown root", pki.leafA(), -1202},
        {"self-signed", pki.selfSigned(), -1202},
    };
    auto session = QXURLSession::sessionWithConfiguration(
        QXURLSessionConfiguration::defaultSessionConfiguration());
    ASSERT_TRUE(session);
    for (const auto& c : cases) {
        auto server = TestServer::startHTTPS(c.identity, false);
        server->script("/t", {{200, "secure"}});
        Result r = run(*session, net::URLRequest(server->url("/t")));
        EXPECT_EQ(r.error ? r.error->code : 0, c.expected) << c.name;
        if (c.expected == 0) {
            EXPECT_EQ(r.data, "secure") << c.name;
        } else {
            EXPECT_FALSE(r.data.has_value()) << c.name;
            EXPECT_EQ(server->requestCount(), 0u)
                << c.name << ": a request crossed a refused chain";
        }
    }
    net::TrustAnchors::setSystemAnchorsForTesting(std::nullopt);
}

}  // namespace
}  // namespace wv
