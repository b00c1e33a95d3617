#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/net/AuthenticationChallenge.h"
#include "platform/net/Error.h"
#include "platform/net/URLResponse.h"

namespace wv::net {

class URLSession;
class URLSessionTask;

// Receives a session's events on the session's delegate queue. Challenges come for every
// task; the task events only for tasks made without a completion block. Every message has a
// default, so a delegate overrides only what it needs.
class URLSessionDelegate {
  public:
    virtual ~URLSessionDelegate() = default;

    virtual void didBecomeInvalid(const std::shared_ptr<URLSession>&, const std::optional<Error>&) {
    }
    // `completion` must be called once; until then the handshake waits. Not calling it
    // counts as a cancelled challenge once the request's timeout has passed.
    virtual void didReceiveChallenge(const std::shared_ptr<URLSession>&,
                                     const AuthenticationChallenge&,
                                     ChallengeCompletion completion) {
        completion(ChallengeDisposition::PerformDefaultHandling, nullptr);
    }
    virtual void didReceiveResponse(const std::shared_ptr<URLSession>&,
                                    const std::shared_ptr<URLSessionTask>&, const URLResponse&) {}
    virtual void didReceiveData(const std::shared_ptr<URLSession>&,
                                const std::shared_ptr<URLSessionTask>&, const std::string&) {}
    // The file is deleted when this returns: move or read it here.
    virtual void didFinishDownloading(const std::shared_ptr<URLSession>&,
                                      const std::shared_ptr<URLSessionTask>&,
                                      const std::string& /*path*/) {}
    virtual void didComplete(const std::shared_ptr<URLSession>&,
                             const std::shared_ptr<URLSessionTask>&, const std::optional<Error>&) {}
};

}  // namespace wv::net
