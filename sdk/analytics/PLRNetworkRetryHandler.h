#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/net/AuthenticationChallenge.h"
#include "platform/net/Error.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLResponse.h"
#include "sdk/analytics/PLRBackoffTimer.h"
#include "sdk/core/TRNCertificatePinner.h"

namespace wv {

class QXURLSession;

// Decides whether a finished upload goes again: the core's response classification says
// whether it is worth another try, and each upload identifier gets its own back-off timer and
// at most maxRetries + 1 retries. Also answers the uploads' TLS challenges with the pinned
// roots, in debug mode too.
//
// Runs on the event queue; the delayed "go again" comes from the main queue.
class PLRNetworkRetryHandler {
  public:
    static constexpr uint64_t kDefaultMaxRetries = 10;
    static constexpr int64_t kRetriesExhausted = -6;
    static constexpr int64_t kNoIdentifier = -7;
    static constexpr const char* kIdentifierKey = "PLRNetworkRetryHandlerIdentifier";
    static constexpr const char* kFailingURLKey = "NSErrorFailingURLKey";

    using Completion = std::function<void(bool retry, const std::optional<net::Error>& error)>;

    // The pinned roots as they are when it is made.
    PLRNetworkRetryHandler();

    void handleChallenge(const net::AuthenticationChallenge& challenge, QXURLSession* session,
                         const net::ChallengeCompletion& completionHandler) const;
    static double retryValueForResponse(const std::optional<net::URLResponse>& response);
    // None for an empty identifier; an existing timer keeps its first initial value.
    PLRBackoffTimer* timerForIdentifier(const std::string& identifier, double initialRetryValue);
    static net::Error errorWithCode(int64_t code, const std::string& identifier,
                                    const net::URLRequest& request,
                                    const std::optional<net::Error>& handlerError);

    void handleCompletedRequest(const net::URLRequest& request,
                                const std::optional<net::URLResponse>& response,
                                const std::string& identifier,
                                const std::optional<net::Error>& error, Completion completion);
    void handleCompletedRequest(const net::URLRequest& request,
                                const std::optional<net::URLResponse>& response,
                                const std::string& identifier, uint64_t maxRetries,
                                const std::optional<net::Error>& error, Completion completion);

    const TRNCertificatePinner* certPinner() const { return certPinner_.get(); }

  private:
    std::unique_ptr<TRNCertificatePinner> certPinner_;
    std::map<std::string, std::unique_ptr<PLRBackoffTimer>> retryTimerMap_;
};

}  // namespace wv
