#include "sdk/core/TRNNetworkResponseHandler.h"

#include <gtest/gtest.h>

namespace wv {
namespace {

using H = TRNNetworkResponseHandler;
using T = TRNResponseType;

net::URLResponse response(int status, net::HTTPHeaders headers = {}) {
    net::URLResponse r;
    r.statusCode = status;
    r.headers = std::move(headers);
    return r;
}

TEST(TRNNetworkResponseHandler, StatusCodesSortIntoResponseTypesAtTheirEdges) {
    struct Case {
        int status;
        T type;
    };
    const std::vector<Case> cases = {
        {199, T::Failure},
        {200, T::Success},
        {201, T::Success},
        {202, T::Success},
        {203, T::Failure},
        {204, T::Success},
        {205, T::Failure},
        {301, T::Failure},
        {304, T::Success},
        {399, T::Failure},
        {400, T::Rejected},
        {401, T::Rejected},
        {402, T::Failure},
        {403, T::Rejected},
        {404, T::Rejected},
        {405, T::Failure},
        {406, T::Rejected},
        {407, T::Failure},
        {408, T::TemporaryTrouble},
        {409, T::Failure},
        {410, T::Rejected},
        {411, T::Rejected},
        {412, T::Failure},
        {413, T::Rejected},
        {419, T::Rejected},
        {420, T::RateLimited},
        {422, T::Rejected},
        {429, T::RateLimited},
        {431, T::Rejected},
        {499, T::Failure},
        {500, T::TemporaryTrouble},
        {503, T::TemporaryTrouble},
        {599, T::TemporaryTrouble},
        {600, T::Failure},
        {0, T::Failure},
    };
    for (const auto& c : cases) {
        int calls = 0;
        H::clientResponseType(response(c.status), [&](T type, int status) {
            ++calls;
            EXPECT_EQ(type, c.type) << c.status;
            EXPECT_EQ(status, c.status);
        });
        EXPECT_EQ(calls, 1);
    }
    net::URLResponse other;
    other.isHTTP = false;
    other.statusCode = 200;
    H::clientResponseType(other, [](T type, int status) {
        EXPECT_EQ(type, T::Failure);
        EXPECT_EQ(status, 0);
    });
}

TEST(TRNNetworkResponseHandler, ContentTypeMustMatchAcceptAndTheCharsetAcceptCharset) {
    struct Case {
        std::optional<std::string> accept;
        std::optional<std::string> acceptCharset;
        std::optional<std::string> contentType;
        bool matches;
    };
    const std::vector<Case> cases = {
        {std::nullopt, "utf-8", "text/html", true},
        {std::nullopt, std::nullopt, std::nullopt, true},
        {"application/json", "utf-8", std::nullopt, false},
        {"application/json", "utf-8", "application/json", true},
        {"application/json", "utf-8", "Application/JSON", true},
        {"application/json", "utf-8", "application/json; charset=UTF-8", true},
        {"application/json", "utf-8", "application/json; charset=utf-8", true},
        {"application/json", "utf-8", "application/json; charset=iso-8859-1", false},
        {"application/json", "utf-8", "text/html", false},
        {"application/json", "utf-8", "text/html; charset=utf-8", false},
        // Only the exact separator "; charset=" splits: other spellings stay in the type.
        {"application/json", "utf-8", "application/json;charset=utf-8", false},
        {"application/json", "utf-8", "application/json;  charset=utf-8", false},
        {"application/json", "utf-8", "application/json; Charset=utf-8", false},
        {"application/json", std::nullopt, "application/json; charset=latin1", true},
    };
    for (const auto& c : cases) {
        net::URLRequest request("http://h/");
        if (c.accept) request.headers.set("Accept", *c.accept);
        if (c.acceptCharset) request.headers.set("Accept-Charset", *c.acceptCharset);
        net::HTTPHeaders headers;
        if (c.contentType) headers.set("Content-Type", *c.contentType);
        EXPECT_EQ(H::contentTypeForResponse(response(200, headers), request), c.matches)
            << c.accept.value_or("-") << " / " << c.contentType.value_or("-");
    }
}

TEST(TRNNetworkResponseHandler, OnlyURLErrorsOutsideTheFatalListAreRetryable) {
    const std::vector<int64_t> fatal = {-1000, -1002, -1007, -1010, -1012, -1013,
                                        -1022, -995,  -1100, -1101, -1103, -1200,
                                        -1201, -1202, -1203, -1204, -1205, -1206};
    const std::vector<int64_t> retryable = {-999,  -1001, -1003, -1004, -1005, -1009, -1011,
                                            -1017, -1102, -1199, -1207, -3003, -1};
    for (int64_t code : fatal)
        EXPECT_FALSE(H::retryableURLError({net::kURLErrorDomain, code, {}})) << code;
    for (int64_t code : retryable)
        EXPECT_TRUE(H::retryableURLError({net::kURLErrorDomain, code, {}})) << code;
    EXPECT_FALSE(H::retryableURLError({kTRNNetworkErrorDomain, -1001, {}}));
    EXPECT_FALSE(H::retryableURLError({"NSPOSIXErrorDomain", 54, {}}));
}

TEST(TRNNetworkResponseHandler, RetryAfterReadsADecimalPrefixWithinBounds) {
    struct Case {
        std::optional<std::string> header;
        double seconds;
    };
    const std::vector<Case> cases = {
        {std::nullopt, 2.0}, {"10", 10.0},      {" 3.5 s", 3.5},  {"1", 1.0},      {"-5", 2.0},
        {"abc", 0.0},        {"", 0.0},         {"nan", 0.0},     {"inf", 0.0},    {"0x10", 0.0},
        {"1e308", 3600.0},   {"1e999", 3600.0}, {"7200", 3600.0}, {"12abc", 12.0}, {"-0", 0.0},
    };
    for (const auto& c : cases) {
        net::HTTPHeaders headers;
        if (c.header) headers.set("Retry-After", *c.header);
        EXPECT_DOUBLE_EQ(H::retryValueForResponse(response(503, headers)), c.seconds)
            << c.header.value_or("(none)");
    }
    EXPECT_DOUBLE_EQ(H::retryValueForResponse(std::nullopt), 2.0);
}

TEST(TRNNetworkResponseHandler, ErrorsCarryTypeStatusRequestIdAndContentType) {
    auto r = response(503, {{"X-Request-Id", "abc"}, {"Content-Type", "text/html"}});
    struct Case {
        T type;
        int64_t code;
    };
    for (const auto& c : std::vector<Case>{{T::Failure, -4},
                                           {T::Rejected, -5},
                                           {T::TemporaryTrouble, -1},
                                           {T::RateLimited, -1}}) {
        auto e = H::errorForResponse(r, c.type, 503);
        ASSERT_TRUE(e);
        EXPECT_EQ(e->domain, "TRNNetworkError");
        EXPECT_EQ(e->code, c.code);
        EXPECT_EQ(std::any_cast<int64_t>(e->userInfo.at("type")), static_cast<int64_t>(c.type));
        EXPECT_EQ(std::any_cast<int64_t>(e->userInfo.at("status_code")), 503);
        EXPECT_EQ(std::any_cast<std::string>(e->userInfo.at("request_id")), "abc");
        EXPECT_EQ(std::any_cast<std::string>(e->userInfo.at("content_type")), "text/html");
    }
    EXPECT_FALSE(H::errorForResponse(r, T::Success, 200));
    auto bare = H::errorForResponse(response(404), T::Rejected, 404);
    EXPECT_EQ(std::any_cast<std::string>(bare->userInfo.at("request_id")), "");
    EXPECT_EQ(std::any_cast<std::string>(bare->userInfo.at("content_type")), "");
}

TEST(TRNNetworkResponseHandler, CompletedResponsesGiveOneVerdict) {
    net::URLRequest json("http://h/");
    json.headers.set("Accept", "application/json");
    json.headers.set("Accept-Charset", "utf-8");
    struct Case {
        std::string name;
        std::optional<net::URLResponse> response;
        std::optional<net::Error> transport;
        bool retry;
        std::optional<int64_t> code;
    };
    const std::vector<Case> cases = {
        {"json", response(200, {{"Content-Type", "application/json; charset=utf-8"}}), std::nullopt,
         false, std::nullopt},
        {"no content type", response(200), std::nullopt, false, -4},
        {"304", response(304, {{"Content-Type", "application/json"}}), std::nullopt, false,
         std::nullopt},
        {"203", response(203, {{"Content-Type", "application/json"}}), std::nullopt, false, -4},
        {"404", response(404), std::nullopt, false, -5},
        {"408", response(408), std::nullopt, true, -1},
        {"429", response(429), std::nullopt, true, -1},
        {"timeout", std::nullopt, net::Error{net::kURLErrorDomain, -1001, {}}, true, -1001},
        {"untrusted", std::nullopt, net::Error{net::kURLErrorDomain, -1202, {}}, false, -1202},
        {"client certificate", std::nullopt, net::Error{net::kURLErrorDomain, -1206, {}}, false,
         -1206},
    };
    for (const auto& c : cases) {
        int calls = 0;
        H::handleCompletedResponse(
            c.response, json, c.transport, [&](bool retry, const std::optional<net::Error>& error) {
                ++calls;
                EXPECT_EQ(retry, c.retry) << c.name;
                EXPECT_EQ(error ? std::optional(error->code) : std::nullopt, c.code) << c.name;
            });
        EXPECT_EQ(calls, 1) << c.name;
    }
    // The type-1 error of a mismatched success carries the real status.
    H::handleCompletedResponse(response(200), json, std::nullopt, [](bool, const auto& error) {
        ASSERT_TRUE(error);
        EXPECT_EQ(std::any_cast<int64_t>(error->userInfo.at("status_code")), 200);
        EXPECT_EQ(std::any_cast<int64_t>(error->userInfo.at("type")), 1);
    });
}

TEST(TRNNetworkResponseHandler, CancelReasonComesOnlyFromACancelledURLError) {
    EXPECT_EQ(
        H::cancelReasonFromURLError({net::kURLErrorDomain,
                                     -999,
                                     {{"NSURLErrorBackgroundTaskCancelledReasonKey", int64_t{2}}}}),
        2);
    EXPECT_EQ(H::cancelReasonFromURLError({net::kURLErrorDomain, -999, {}}), -1);
    EXPECT_EQ(
        H::cancelReasonFromURLError({net::kURLErrorDomain,
                                     -1001,
                                     {{"NSURLErrorBackgroundTaskCancelledReasonKey", int64_t{2}}}}),
        -1);
}

}  // namespace
}  // namespace wv
