#include "sdk/core/TRNNetworkClient.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <future>

#include "platform/dispatch/ManualRunLoop.h"
#include "platform/net/TrustAnchors.h"
#include "platform/net/testing/TestServer.h"
#include "sdk/core/QXPlatformURLSession.h"
#include "sdk/core/Tarnel.h"

namespace wv {
namespace {

using net::testing::ScriptedReply;
using net::testing::TestPKI;
using net::testing::TestServer;

struct Result {
    std::optional<std::string> data;
    std::optional<net::URLResponse> response;
    std::optional<net::Error> error;
    int64_t code() const { return error ? error->code : 0; }
};

// Holds delayed retries until the test lets them run: time passes only when it says so.
class ManualScheduler {
  public:
    TRNNetworkClient::Scheduler scheduler() {
        return [this](double seconds, std::function<void()> block) {
            std::lock_guard lock(mutex_);
            delays_.push_back(seconds);
            pending_.push_back(std::move(block));
            changed_.notify_all();
        };
    }
    // Runs every wait as it comes, at once.
    TRNNetworkClient::Scheduler immediate() {
        return [this](double seconds, std::function<void()> block) {
            {
                std::lock_guard lock(mutex_);
                delays_.push_back(seconds);
            }
            block();
        };
    }
    bool runNext() {
        std::function<void()> block;
        {
            std::unique_lock lock(mutex_);
            if (!changed_.wait_for(lock, std::chrono::seconds(10),
                                   [&] { return !pending_.empty(); }))
                return false;
            block = std::move(pending_.front());
            pending_.erase(pending_.begin());
        }
        block();
        return true;
    }
    std::vector<double> delays() {
        std::lock_guard lock(mutex_);
        return delays_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<double> delays_;
    std::vector<std::function<void()>> pending_;
};

class TRNNetworkClientTest : public ::testing::Test {
  protected:
    TRNNetworkClientTest() {
        TRNNetworkClient::setUniformSourceForTesting([] { return 0.5; });
    }
    ~TRNNetworkClientTest() override { TRNNetworkClient::setUniformSourceForTesting(nullptr); }

    static constexpr double kMidJitter =
        0.8999999761581421 + 0.5 * (1.100000023841858 - 0.8999999761581421);

    Result send(TRNNetworkClient& client, const net::URLRequest& request, uint64_t limit,
                std::function<void()> whileWaiting = {}) {
        auto calls = std::make_shared<std::atomic<int>>(0);
        auto promise = std::make_shared<std::promise<Result>>();
        client.startDataTaskWithRequest(request, limit, [calls, promise](auto d, auto r, auto e) {
            if (++*calls == 1) promise->set_value({d, r, e});
        });
        if (whileWaiting) whileWaiting();
        auto f = promise->get_future();
        EXPECT_EQ(f.wait_for(std::chrono::seconds(15)), std::future_status::ready);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        EXPECT_EQ(*calls, 1);
        return f.get();
    }
};

TEST_F(TRNNetworkClientTest, FailuresThenSuccessWaitTheExponentialDelays) {
    auto server = TestServer::startHTTP();
    server->script("/s", {{503}, {408}, {500}, {200, "done"}});
    auto client = TRNNetworkClient::create();
    ManualScheduler clock;
    client->setRetrySchedulerForTesting(clock.immediate());
    Result r = send(*client, net::URLRequest(server->url("/s")), 10);
    EXPECT_FALSE(r.error);
    EXPECT_EQ(r.data, "done");
    EXPECT_EQ(server->requestCount(), 4u);
    const auto delays = clock.delays();
    ASSERT_EQ(delays.size(), 3u);
    EXPECT_DOUBLE_EQ(delays[0], 2 * kMidJitter);
    EXPECT_DOUBLE_EQ(delays[1], 2 * kMidJitter);
    EXPECT_DOUBLE_EQ(delays[2], 4 * kMidJitter);
}

TEST_F(TRNNetworkClientTest, AnAlwaysRetryableServerSeesLimitPlusOneRequestsThenMinus6) {
    auto server = TestServer::startHTTP();
    server->script("/busy", {{429, "", {{"Retry-After", "1"}}}});
    auto client = TRNNetworkClient::create();
    ManualScheduler clock;
    client->setRetrySchedulerForTesting(clock.immediate());
    for (uint64_t limit : {0u, 3u}) {
        const size_t before = server->requestCount();
        Result r = send(*client, net::URLRequest(server->url("/busy")), limit);
        EXPECT_EQ(server->requestCount() - before, limit + 1);
        ASSERT_TRUE(r.error);
        EXPECT_EQ(r.error->domain, "TRNNetworkError");
        EXPECT_EQ(r.code(), -6);
        EXPECT_EQ(std::any_cast<uint64_t>(r.error->userInfo.at("retryLimit")), limit);
        EXPECT_EQ(std::any_cast<std::string>(
                      r.error->userInfo.at(net::kURLErrorFailingURLStringErrorKey)),
                  server->url("/busy"));
        EXPECT_FALSE(r.data);
        EXPECT_FALSE(r.response);
    }
}

TEST_F(TRNNetworkClientTest, NonRetryableOutcomesEndAtOnceWithTheirError) {
    auto server = TestServer::startHTTP();
    server->script("/404", {{404, "", {{"X-Request-Id", "q1"}}}});
    server->script("/203", {{203}});
    auto client = TRNNetworkClient::create();
    EXPECT_EQ(send(*client, net::URLRequest(server->url("/404")), 10).code(), -5);
    EXPECT_EQ(send(*client, net::URLRequest(server->url("/203")), 10).code(), -4);
    EXPECT_EQ(server->requestCount(), 2u);
}

TEST_F(TRNNetworkClientTest, ARetryAfterWaitPassesOnTheMainQueuesClock) {
    ManualRunLoop loop;
    auto server = TestServer::startHTTP();
    server->script("/s", {{503, "", {{"Retry-After", "3"}}}, {200, "late"}});
    auto client = TRNNetworkClient::create();
    Result r = send(*client, net::URLRequest(server->url("/s")), 10, [&] {
        ASSERT_TRUE(server->waitForRequests(1, 10));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        loop.advance(2.9);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(server->requestCount(), 1u);
        loop.advance(0.2);
    });
    EXPECT_EQ(r.data, "late");
    EXPECT_EQ(server->requestCount(), 2u);
}

TEST_F(TRNNetworkClientTest, RetryDelaysFollowRetryAfterUnderTheCap) {
    struct Case {
        std::optional<std::string> retryAfter;
        uint64_t count;
        double power;
    };
    const std::vector<Case> cases = {
        {std::nullopt, 0, 2},
        {std::nullopt, 1, 2},
        {std::nullopt, 2, 4},
        {std::nullopt, 3, 8},
        {std::nullopt, 10, 1024},
        {std::nullopt, 40, 1024},
        {"1", 0, 2},
        {"10", 2, 100},
        {"10", 3, 1000},
        {"10", 4, 1024},
        {"3000", 1, 3000},
        {"3000", 2, 3000},
        {"1e308", 5, 3600},
        {"abc", 3, 8},
        {"-4", 2, 4},
    };
    for (const auto& c : cases) {
        net::URLResponse response;
        response.statusCode = 503;
        if (c.retryAfter) response.headers.set("Retry-After", *c.retryAfter);
        EXPECT_DOUBLE_EQ(TRNNetworkClient::computeDelayForResponse(response, c.count),
                         c.power * kMidJitter)
            << c.retryAfter.value_or("-") << " count " << c.count;
    }
}

TEST_F(TRNNetworkClientTest, JitterStaysWithinItsSinglePrecisionBounds) {
    TRNNetworkClient::setUniformSourceForTesting([] { return 0.0; });
    EXPECT_EQ(TRNNetworkClient::generateRandomJitter(), 0.8999999761581421);
    // The largest value a 48-bit generator gives.
    TRNNetworkClient::setUniformSourceForTesting([] { return 1.0 - std::ldexp(1.0, -48); });
    EXPECT_LT(TRNNetworkClient::generateRandomJitter(), 1.100000023841858);
    EXPECT_GT(TRNNetworkClient::generateRandomJitter(), 1.1);
    TRNNetworkClient::setUniformSourceForTesting(nullptr);
    for (int i = 0; i < 1000; ++i) {
        const double j = TRNNetworkClient::generateRandomJitter();
        ASSERT_GE(j, 0.8999999761581421);
        ASSERT_LT(j, 1.100000023841858);
    }
}

TEST_F(TRNNetworkClientTest, ARetryAfterInvalidationCompletesOnceWithMinus3SendingNothing) {
    auto server = TestServer::startHTTP();
    server->script("/s", {{503}});
    auto client = TRNNetworkClient::create();
    ManualScheduler clock;
    client->setRetrySchedulerForTesting(clock.scheduler());
    Result r = send(*client, net::URLRequest(server->url("/s")), 10, [&] {
        ASSERT_TRUE(server->waitForRequests(1, 10));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        client->invalidateAndCancel();
        ASSERT_TRUE(clock.runNext());
    });
    EXPECT_EQ(r.code(), -3);
    EXPECT_EQ(server->requestCount(), 1u);
}

TEST_F(TRNNetworkClientTest, DownloadsHandTheFileToTheCompletion) {
    auto server = TestServer::startHTTP();
    server->script("/settings.json", {{200, "{\"app\":{}}", {}, "application/json"}});
    auto client = TRNNetworkClient::create();
    std::promise<std::string> content;
    client->startDownloadTaskWithRequest(
        net::URLRequest(server->url("/settings.json")), 1, [&](auto path, auto, auto error) {
            EXPECT_FALSE(error);
            std::ifstream in(*path);
            content.set_value(std::string(std::istreambuf_iterator<char>(in), {}));
        });
    EXPECT_EQ(content.get_future().get(), "{\"app\":{}}");
}

TEST_F(TRNNetworkClientTest, TimeoutsAndClosedPortsAreRetriedButBadURLsAreNot) {
    auto server = TestServer::startHTTP();
    server->script("/stall", {ScriptedReply::stalled(5)});
    auto client = TRNNetworkClient::create();
    ManualScheduler clock;
    client->setRetrySchedulerForTesting(clock.immediate());
    EXPECT_EQ(send(*client, net::URLRequest(server->url("/stall"), 0.3), 1).code(), -6);
    EXPECT_EQ(server->requestCount(), 2u);
    EXPECT_EQ(send(*client, net::URLRequest("ftp://127.0.0.1/"), 5).code(), -1002);
}

// Where the platform session is missing the client runs on the kit's own session; its retry
// loop must not depend on which one it got.
TEST_F(TRNNetworkClientTest, TheOwnSessionRetriesFailuresUntilASuccess) {
    QXURLSession::setPlatformSessionAvailableForTesting(false);
    auto server = TestServer::startHTTP();
    server->script("/s", {{503}, {500}, {200, "done"}});
    auto client = TRNNetworkClient::create();
    ASSERT_TRUE(client);
    ManualScheduler clock;
    client->setRetrySchedulerForTesting(clock.immediate());
    Result r = send(*client, net::URLRequest(server->url("/s")), 10);
    QXURLSession::setPlatformSessionAvailableForTesting(std::nullopt);
    EXPECT_FALSE(dynamic_cast<QXPlatformURLSession*>(client->session().get()));
    EXPECT_FALSE(r.error);
    EXPECT_EQ(r.data, "done");
    EXPECT_EQ(server->requestCount(), 3u);
    EXPECT_EQ(clock.delays().size(), 2u);
}

// Root A is pinned; root B stands for the system's store.
class TRNNetworkClientPinning : public TRNNetworkClientTest {
  protected:
    TRNNetworkClientPinning() {
        net::TrustAnchors::setSystemAnchorsForTesting(std::vector{TestPKI::shared().rootB()});
        TRNSetPinnedCertificatesForTesting(std::vector{TestPKI::shared().rootA()});
    }
    ~TRNNetworkClientPinning() override {
        net::TrustAnchors::setSystemAnchorsForTesting(std::nullopt);
        TRNSetPinnedCertificatesForTesting(std::nullopt);
    }
};

TEST_F(TRNNetworkClientPinning, OnlyAPinnedChainForTheHostIsAcceptedAndNoRejectionIsRetried) {
    const auto& pki = TestPKI::shared();
    struct Case {
        std::string name;
        net::testing::TlsIdentity identity;
        std::optional<std::vector<net::Certificate>> pinned;
        bool requestClientCertificate;
        int64_t expected;
    };
    const std::vector<Case> cases = {
        {"pinned root", pki.leafA(), TRNPinnedCertificates(), false, 0},
        {"pinned through an intermediate", pki.leafAViaIntermediate(), TRNPinnedCertificates(),
         false, 0},
        {"system root only", pki.leafB(), TRNPinnedCertificates(), false, -1202},
        {"wrong host", pki.wrongHostA(), TRNPinnedCertificates(), false, -1202},
        {"expired", pki.expiredA(), TRNPinnedCertificates(), false, -1202},
        {"self-signed", pki.selfSigned(), TRNPinnedCertificates(), false, -1202},
        {"empty pinner", pki.leafA(), std::vector<net::Certificate>{}, false, -1202},
        {"client certificate asked", pki.leafA(), TRNPinnedCertificates(), true, -1206},
        {"no pinner: system store", pki.leafB(), std::nullopt, false, 0},
    };
    for (const auto& c : cases) {
        auto server = TestServer::startHTTPS(c.identity, c.requestClientCertificate);
        server->script("/s", {{200, "ok"}});
        auto client = TRNNetworkClient::createWithQueue(nullptr, c.pinned);
        ASSERT_TRUE(client);
        EXPECT_EQ(client->certPinner() != nullptr, c.pinned.has_value());
        ManualScheduler clock;
        client->setRetrySchedulerForTesting(clock.immediate());
        Result r = send(*client, net::URLRequest(server->url("/s")), 3);
        EXPECT_EQ(r.code(), c.expected) << c.name;
        EXPECT_TRUE(clock.delays().empty()) << c.name << ": a rejection was retried";
        if (c.expected == 0) {
            EXPECT_EQ(r.data, "ok") << c.name;
        } else {
            EXPECT_EQ(r.error->domain, net::kURLErrorDomain) << c.name;
        }
    }
}

// The debug flag only makes the kits talk more; a client that trusted more under it would
// ship that hole to every developer build.
TEST_F(TRNNetworkClientPinning, TheDebugFlagLeavesPinningAsStrict) {
    const auto& pki = TestPKI::shared();
    Tarnel& sdk = Tarnel::sharedSDK();
    const bool wasDebug = sdk.debug();
    sdk.setDebug(true);
    struct Case {
        std::string name;
        net::testing::TlsIdentity identity;
        std::optional<std::vector<net::Certificate>> pinned;
    };
    const std::vector<Case> cases = {
        {"system root only", pki.leafB(), TRNPinnedCertificates()},
        {"wrong host", pki.wrongHostA(), TRNPinnedCertificates()},
        {"empty pinner", pki.leafA(), std::vector<net::Certificate>{}},
    };
    for (const auto& c : cases) {
        auto server = TestServer::startHTTPS(c.identity, false);
        server->script("/s", {{200, "ok"}});
        auto client = TRNNetworkClient::createWithQueue(nullptr, c.pinned);
        ASSERT_TRUE(client);
        ManualScheduler clock;
        client->setRetrySchedulerForTesting(clock.immediate());
        Result r = send(*client, net::URLRequest(server->url("/s")), 3);
        EXPECT_EQ(r.code(), -1202) << c.name;
        EXPECT_FALSE(r.data.has_value()) << c.name;
    }
    sdk.setDebug(wasDebug);
}

}  // namespace
}  // namespace wv
