#include "sdk/analytics/PLRNetworkRetryHandler.h"

#include "sdk/core/TRNNetworkResponseHandler.h"

namespace wv {

PLRNetworkRetryHandler::PLRNetworkRetryHandler()
    : certPinner_(std::make_unique<TRNCertificatePinner>(TRNPinnedCertificates())) {}

// Pinning holds in debug mode as well: a debug build that talks to an impostor is still
// sending the user's data to it.
void PLRNetworkRetryHandler::handleChallenge(
    const net::AuthenticationChallenge& challenge, QXURLSession*,
    const net::ChallengeCompletion& completionHandler) const {
    if (certPinner_) {
        certPinner_->handleChallenge(challenge, completionHandler);
        return;
    }
    completionHandler(net::ChallengeDisposition::PerformDefaultHandling, nullptr);
}

double PLRNetworkRetryHandler::retryValueForResponse(
    const std::optional<net::URLResponse>& response) {
    return TRNNetworkResponseHandler::retryValueForResponse(response);
}

PLRBackoffTimer* PLRNetworkRetryHandler::timerForIdentifier(const std::string& identifier,
                                                            double initialRetryValue) {
    if (identifier.empty()) return nullptr;
    auto& slot = retryTimerMap_[identifier];
    if (!slot) slot = std::make_unique<PLRBackoffTimer>(initialRetryValue);
    return slot.get();
}

net::Error PLRNetworkRetryHandler::errorWithCode(int64_t code, const std::string& identifier,
                                                 const net::URLRequest& request,
                                                 const std::optional<net::Error>& handlerError) {
    if (handlerError) return *handlerError;
    net::Error error;
    error.domain = kTRNNetworkErrorDomain;
    error.code = code;
    error.userInfo[kIdentifierKey] = identifier.empty() ? std::string("(null)") : identifier;
    if (!request.url.empty()) error.userInfo[kFailingURLKey] = request.url;
    return error;
}

void PLRNetworkRetryHandler::handleCompletedRequest(const net::URLRequest& request,
                                                    const std::optional<net::URLResponse>& response,
                                                    const std::string& identifier,
                                                    const std::optional<net::Error>& error,
                                                    Completion completion) {
    handleCompletedRequest(request, response, identifier, kDefaultMaxRetries, error,
                           std::move(completion));
}

void PLRNetworkRetryHandler::handleCompletedRequest(const net::URLRequest& request,
                                                    const std::optional<net::URLResponse>& response,
                                                    const std::string& identifier,
                                                    uint64_t maxRetries,
                                                    const std::optional<net::Error>& error,
                                                    Completion completion) {
    TRNNetworkResponseHandler::handleCompletedResponse(
        response, request, error, [&](bool retry, const std::optional<net::Error>& handlerError) {
            if (!retry) {
                completion(false, handlerError);
                return;
            }
            PLRBackoffTimer* timer =
                timerForIdentifier(identifier, retryValueForResponse(response));
            if (!timer) {
                completion(false, errorWithCode(kNoIdentifier, identifier, request, handlerError));
                return;
            }
            if (timer->retryCount() <= maxRetries) {
                timer->executeBlockAfterNextInterval(
                    [completion, handlerError] { completion(true, handlerError); });
                return;
            }
            completion(false, errorWithCode(kRetriesExhausted, identifier, request, handlerError));
        });
}

}  // namespace wv
