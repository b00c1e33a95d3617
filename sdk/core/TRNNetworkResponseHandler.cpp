#include "sdk/core/TRNNetworkResponseHandler.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace wv {

namespace {

constexpr const char* kBackgroundCancelledReasonKey = "NSURLErrorBackgroundTaskCancelledReasonKey";

// The decimal number a text starts with (after blanks): sign, digits, a fraction and an
// exponent; nothing when it starts otherwise. Unlike strtod, "nan", "inf" and hexadecimal are
// not numbers here.
std::optional<double> leadingDecimal(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    const size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
    }
    if (digits == 0) return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        if (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) {
            while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
            i = j;
        }
    }
    return std::strtod(text.substr(start, i - start).c_str(), nullptr);
}

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
    return net::HTTPHeaders::equalNames(a, b);
}

}  // namespace

std::optional<std::string> TRNNetworkResponseHandler::headerForResponse(const Response& response,
                                                                        const std::string& key) {
    if (!response || !response->isHTTP) return std::nullopt;
    return response->headers.value(key);
}

double TRNNetworkResponseHandler::retryValueForResponse(const Response& response) {
    const auto header = headerForResponse(response, "Retry-After");
    if (!header) return 2.0;
    const auto value = leadingDecimal(*header);
    if (!value) return 0.0;
    if (*value < 0) return 2.0;
    return std::min(*value, kMaximumRetryAfter);
}

std::optional<std::string> TRNNetworkResponseHandler::requestIdForResponse(
    const Response& response) {
    return headerForResponse(response, "X-Request-Id");
}

bool TRNNetworkResponseHandler::contentTypeForResponse(const Response& response,
                                                       const net::URLRequest& request) {
    const auto accept = request.headers.value("Accept");
    if (!accept) return true;
    const auto contentType = headerForResponse(response, "Content-Type");
    if (!contentType) return false;
    static const std::string kSeparator = "; charset=";
    const auto at = contentType->find(kSeparator);
    const std::string type = contentType->substr(0, at);
    if (!equalsIgnoringCase(type, *accept)) return false;
    const auto charset = request.headers.value("Accept-Charset");
    if (charset && at != std::string::npos) {
        std::string rest = contentType->substr(at + kSeparator.size());
        // Only what lies between the first separator and any second one counts.
        const auto next = rest.find(kSeparator);
        if (next != std::string::npos) rest = rest.substr(0, next);
        return equalsIgnoringCase(rest, *charset);
    }
    return true;
}

bool TRNNetworkResponseHandler::retryableURLError(const net::Error& error) {
    if (error.domain != net::kURLErrorDomain) return false;
    switch (error.code) {
        case -1000:
        case -1002:
        case -1007:
        case -1010:
        case -1012:
        case -1013:
        case -1022:
        case -995:
        case -1100:
        case -1101:
        case -1103:
            return false;
        default:
            return !(error.code <= -1200 && error.code >= -1206);
    }
}

int64_t TRNNetworkResponseHandler::cancelReasonFromURLError(const net::Error& error) {
    if (error.domain != net::kURLErrorDomain || error.code != net::URLError::Cancelled) return -1;
    auto it = error.userInfo.find(kBackgroundCancelledReasonKey);
    if (it == error.userInfo.end()) return -1;
    if (auto* v = std::any_cast<int64_t>(&it->second)) return *v;
    return -1;
}

net::Error TRNNetworkResponseHandler::errorForCode(int64_t code,
                                                   std::map<std::string, std::any> userInfo) {
    return net::Error{kTRNNetworkErrorDomain, code, std::move(userInfo)};
}

std::optional<net::Error> TRNNetworkResponseHandler::errorForResponse(const Response& response,
                                                                      TRNResponseType type,
                                                                      int status) {
    int64_t code = 0;
    switch (type) {
        case TRNResponseType::Success:
            return std::nullopt;
        case TRNResponseType::Failure:
            code = -4;
            break;
        case TRNResponseType::Rejected:
            code = -5;
            break;
        case TRNResponseType::TemporaryTrouble:
        case TRNResponseType::RateLimited:
            code = -1;
            break;
    }
    std::map<std::string, std::any> info;
    info["type"] = static_cast<int64_t>(type);
    info["status_code"] = static_cast<int64_t>(status);
    info["request_id"] = requestIdForResponse(response).value_or("");
    info["content_type"] = headerForResponse(response, "Content-Type").value_or("");
    return errorForCode(code, std::move(info));
}

TRNResponseType TRNNetworkResponseHandler::responseTypeForStatus(int status) {
    switch (status) {
        case 200:
        case 201:
        case 202:
        case 204:
        case 304:
            return TRNResponseType::Success;
        case 400:
        case 401:
        case 403:
        case 404:
        case 406:
        case 410:
        case 411:
        case 413:
        case 419:
        case 422:
        case 431:
            return TRNResponseType::Rejected;
        case 420:
        case 429:
            return TRNResponseType::RateLimited;
        case 408:
            return TRNResponseType::TemporaryTrouble;
        default:
            return status >= 500 && status <= 599 ? TRNResponseType::TemporaryTrouble
                                                  : TRNResponseType::Failure;
    }
}

void TRNNetworkResponseHandler::clientResponseType(
    const Response& response, const std::function<void(TRNResponseType, int)>& handler) {
    if (!response || !response->isHTTP) {
        handler(TRNResponseType::Failure, 0);
        return;
    }
    handler(responseTypeForStatus(response->statusCode), response->statusCode);
}

void TRNNetworkResponseHandler::handleCompletedResponse(
    const Response& response, const net::URLRequest& request,
    const std::optional<net::Error>& error,
    const std::function<void(bool, const std::optional<net::Error>&)>& block) {
    if (error) {
        block(retryableURLError(*error), error);
        return;
    }
    clientResponseType(response, [&](TRNResponseType type, int status) {
        switch (type) {
            case TRNResponseType::Success:
                if (contentTypeForResponse(response, request))
                    block(false, std::nullopt);
                else
                    block(false, errorForResponse(response, TRNResponseType::Failure, status));
                break;
            case TRNResponseType::Failure:
            case TRNResponseType::Rejected:
                block(false, errorForResponse(response, type, status));
                break;
            case TRNResponseType::TemporaryTrouble:
            case TRNResponseType::RateLimited:
                block(true, errorForResponse(response, type, status));
                break;
        }
    });
}

}  // namespace wv
