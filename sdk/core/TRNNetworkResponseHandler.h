#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/net/Error.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLResponse.h"

namespace wv {

inline constexpr const char* kTRNNetworkErrorDomain = "TRNNetworkError";

// What a finished exchange means: the "type" every network error of the kits carries.
enum class TRNResponseType : int64_t {
    Success = 0,
    Failure = 1,
    Rejected = 2,
    TemporaryTrouble = 3,
    RateLimited = 4,
};

// Reads responses, sorts them into response types, tells which transport errors are worth
// another try, and builds the errors the kits report. Stateless; safe from any thread.
class TRNNetworkResponseHandler {
  public:
    using Response = std::optional<net::URLResponse>;

    // Nothing when there is no HTTP response.
    static std::optional<std::string> headerForResponse(const Response& response,
                                                        const std::string& key);
    // Retry-After as a decimal number of seconds: 2 when missing or negative, 0 when it does
    // not start with a number ("abc", "nan", "inf"), and never above an hour, however large
    // the number the server wrote.
    static double retryValueForResponse(const Response& response);
    static std::optional<std::string> requestIdForResponse(const Response& response);
    static bool contentTypeForResponse(const Response& response, const net::URLRequest& request);
    static bool retryableURLError(const net::Error& error);
    static int64_t cancelReasonFromURLError(const net::Error& error);

    static net::Error errorForCode(int64_t code, std::map<std::string, std::any> userInfo = {});
    static std::optional<net::Error> errorForResponse(const Response& response,
                                                      TRNResponseType type, int status);
    static void clientResponseType(const Response& response,
                                   const std::function<void(TRNResponseType, int)>& handler);
    static void handleCompletedResponse(
        const Response& response, const net::URLRequest& request,
        const std::optional<net::Error>& error,
        const std::function<void(bool retry, const std::optional<net::Error>&)>& block);

    static TRNResponseType responseTypeForStatus(int status);
    static constexpr double kMaximumRetryAfter = 3600.0;
};

}  // namespace wv
