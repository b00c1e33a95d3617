#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/net/AuthenticationChallenge.h"
#include "platform/net/Error.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLResponse.h"

namespace wv {

class PLRUploader;
class QXURLSession;

// What the uploader asks of its owner. Every message arrives on the uploader's operation
// queue.
class PLRUploaderDelegate {
  public:
    using RetryDecision = std::function<void(bool retry, const std::optional<net::Error>& error)>;

    virtual ~PLRUploaderDelegate() = default;

    // The body file of a task about to be restarted.
    virtual std::string uploaderFilePathForUniqueName(PLRUploader& uploader,
                                                      const std::string& uniqueName) = 0;
    // The upload is over, for good: it succeeded, was refused, gave up, or could not start.
    virtual void uploaderDidFinishUploadWithUniqueName(PLRUploader& uploader,
                                                       const std::string& uniqueName,
                                                       const std::optional<net::Error>& error) = 0;
    // Every finished task. `decision` must be called exactly once, from any thread.
    virtual void uploaderCompletedRequest(PLRUploader& uploader, const net::URLRequest& request,
                                          const std::optional<net::URLResponse>& response,
                                          const std::string& uniqueName,
                                          const std::optional<net::Error>& error,
                                          RetryDecision decision) = 0;
    // Whether uploaderSessionDidReceiveChallenge answers challenges; when not, the session's
    // default handling does.
    virtual bool handlesChallenges() const { return false; }
    virtual void uploaderSessionDidReceiveChallenge(PLRUploader&, QXURLSession&,
                                                    const net::AuthenticationChallenge&,
                                                    net::ChallengeCompletion completion) {
        completion(net::ChallengeDisposition::PerformDefaultHandling, nullptr);
    }
};

}  // namespace wv
