#include <gtest/gtest.h>

#include "platform/dispatch/ManualRunLoop.h"
#include "sdk/analytics/PLRNetworkRetryHandler.h"
#include "sdk/core/TRNNetworkResponseHandler.h"

namespace wv {
namespace {

net::URLResponse reply(int status, std::vector<std::pair<std::string, std::string>> headers = {}) {
    net::URLResponse r;
    r.url = "https://127.0.0.1/events";
    r.statusCode = status;
    for (const auto& [k, v] : headers) r.headers.set(k, v);
    return r;
}

struct Decision {
    int calls = 0;
    bool retry = false;
    std::optional<net::Error> error;
};

PLRNetworkRetryHandler::Completion recordInto(Decision& d) {
    return [&d](bool retry, const std::optional<net::Error>& error) {
        ++d.calls;
        d.retry = retry;
        d.error = error;
    };
}

const net::URLRequest kRequest("https://127.0.0.1/events");

TEST(NetworkRetryHandler, FinishedRequestsAreJudgedByTheResponseClassification) {
    struct Case {
        const char* name;
        std::optional<net::URLResponse> response;
        std::optional<net::Error> error;
        bool retries;
        std::optional<int64_t> code;
    };
    net::Error refused{net::kURLErrorDomain, net::URLError::CannotConnectToHost, {}};
    net::Error untrusted{net::kURLErrorDomain, net::URLError::ServerCertificateUntrusted, {}};
    const std::vector<Case> cases = {
        {"accepted", reply(202), std::nullopt, false, std::nullopt},
        {"rejected", reply(400), std::nullopt, false, -5},
        {"not found", reply(404), std::nullopt, false, -5},
        {"server trouble", reply(503), std::nullopt, true, -1},
        {"rate limited", reply(429), std::nullopt, true, -1},
        {"server down", std::nullopt, refused, true, net::URLError::CannotConnectToHost},
        {"untrusted", std::nullopt, untrusted, false, net::URLError::ServerCertificateUntrusted},
    };
    for (const auto& c : cases) {
        ManualRunLoop loop;
        PLRNetworkRetryHandler handler;
        Decision d;
        handler.handleCompletedRequest(kRequest, c.response, std::string("body-") + c.name, c.error,
                                       recordInto(d));
        if (c.retries) {
            EXPECT_EQ(d.calls, 0) << c.name << ": a retry must wait for its back-off";
            loop.advance(2.3);
        }
        EXPECT_EQ(d.calls, 1) << c.name;
        EXPECT_EQ(d.retry, c.retries) << c.name;
        EXPECT_EQ(d.error ? std::optional<int64_t>(d.error->code) : std::nullopt, c.code) << c.name;
    }
}

// Retry-After sets the base of an identifier's back-off once, at its first retry.
TEST(NetworkRetryHandler, TheServersRetryAfterIsTheBaseOfTheBackOff) {
    ManualRunLoop loop;
    PLRNetworkRetryHandler handler;
    Decision d;
    handler.handleCompletedRequest(kRequest, reply(429, {{"Retry-After", "30"}}), "X", std::nullopt,
                                   recordInto(d));
    loop.advance(26.9);
    EXPECT_EQ(d.calls, 0);
    loop.advance(6.2);
    EXPECT_EQ(d.calls, 1);
    EXPECT_TRUE(d.retry);
    Decision second;
    handler.handleCompletedRequest(kRequest, reply(503), "X", std::nullopt, recordInto(second));
    EXPECT_EQ(handler.timerForIdentifier("X", 2)->initialValue(), 30);
    loop.advance(809);  // 30^2 = 900, less 10 %
    EXPECT_EQ(second.calls, 0);
    loop.advance(182);
    EXPECT_EQ(second.calls, 1);
}

// Counts 0 to maxRetries pass; the retry after that ends with the classification's error,
// which wins over the handler's own code.
TEST(NetworkRetryHandler, AnIdentifierGetsMaxRetriesPlusOneRetries) {
    ManualRunLoop loop;
    PLRNetworkRetryHandler handler;
    int retries = 0;
    Decision last;
    for (int i = 0; i < 6; ++i) {
        Decision d;
        handler.handleCompletedRequest(kRequest, reply(503), "Y", 3, std::nullopt, recordInto(d));
        loop.advance(200);
        if (d.retry) ++retries;
        last = d;
        ASSERT_EQ(d.calls, 1);
    }
    EXPECT_EQ(retries, 4);
    EXPECT_FALSE(last.retry);
    ASSERT_TRUE(last.error);
    EXPECT_EQ(last.error->code, -1);
    EXPECT_EQ(std::any_cast<int64_t>(last.error->userInfo.at("status_code")), 503);
    EXPECT_EQ(handler.timerForIdentifier("Y", 2)->retryCount(), 4u);
}

TEST(NetworkRetryHandler, AnEmptyIdentifierHasNoTimerAndFailsAtOnce) {
    ManualRunLoop loop;
    PLRNetworkRetryHandler handler;
    EXPECT_EQ(handler.timerForIdentifier("", 2), nullptr);
    Decision d;
    handler.handleCompletedRequest(kRequest, reply(503), "", std::nullopt, recordInto(d));
    EXPECT_EQ(d.calls, 1);
    EXPECT_FALSE(d.retry);
    ASSERT_TRUE(d.error);
    EXPECT_EQ(d.error->code, -1);
}

TEST(NetworkRetryHandler, ErrorsOfItsOwnNameTheIdentifierAndTheURL) {
    struct Case {
        int64_t code;
        std::string identifier;
        std::string url;
        std::string shownIdentifier;
    };
    for (const auto& c : std::vector<Case>{{-6, "body", "https://h/e", "body"},
                                           {-7, "", "https://h/e", "(null)"},
                                           {-6, "body", "", "body"}}) {
        net::URLRequest request(c.url);
        const auto e =
            PLRNetworkRetryHandler::errorWithCode(c.code, c.identifier, request, std::nullopt);
        EXPECT_EQ(e.domain, "TRNNetworkError");
        EXPECT_EQ(e.code, c.code);
        EXPECT_EQ(std::any_cast<std::string>(e.userInfo.at("PLRNetworkRetryHandlerIdentifier")),
                  c.shownIdentifier);
        EXPECT_EQ(e.userInfo.count("NSErrorFailingURLKey"), c.url.empty() ? 0u : 1u);
    }
    net::Error given{"Elsewhere", 17, {}};
    const auto kept = PLRNetworkRetryHandler::errorWithCode(-6, "x", kRequest, given);
    EXPECT_EQ(kept.domain, "Elsewhere");
    EXPECT_EQ(kept.code, 17);
}

TEST(NetworkRetryHandler, ATimerKeepsItsFirstInitialValue) {
    PLRNetworkRetryHandler handler;
    auto* a = handler.timerForIdentifier("Z", 5);
    auto* b = handler.timerForIdentifier("Z", 60);
    EXPECT_EQ(a, b);
    EXPECT_EQ(b->initialValue(), 5);
    EXPECT_NE(handler.timerForIdentifier("W", 5), a);
}

}  // namespace
}  // namespace wv
