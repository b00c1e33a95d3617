#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/net/AuthenticationChallenge.h"
#include "platform/net/Error.h"
#include "platform/net/URLResponse.h"

namespace wv {

class QXURLSession;
class QXURLSessionTask;

// What a session tells its delegate, whichever kind of session it is, on its delegate queue.
// Every message has a default; a delegate overrides what it needs.
class QXURLSessionDelegate {
  public:
    virtual ~QXURLSessionDelegate() = default;
    virtual void URLSessionDidBecomeInvalidWithError(QXURLSession&,
                                                     const std::optional<net::Error>&) {}
    virtual void URLSessionDidReceiveChallenge(QXURLSession&, const net::AuthenticationChallenge&,
                                               net::ChallengeCompletion completion) {
        completion(net::ChallengeDisposition::PerformDefaultHandling, nullptr);
    }
    virtual void URLSessionDataTaskDidReceiveResponse(QXURLSession&, QXURLSessionTask&,
                                                      const net::URLResponse&,
                                                      std::function<void(int)> completion) {
        completion(1);
    }
    virtual void URLSessionDataTaskDidReceiveData(QXURLSession&, QXURLSessionTask&,
                                                  const std::string&) {}
    virtual void URLSessionDownloadTaskDidFinishDownloadingToURL(QXURLSession&, QXURLSessionTask&,
                                                                 const std::string& /*path*/) {}
    virtual void URLSessionTaskDidCompleteWithError(QXURLSession&, QXURLSessionTask&,
                                                    const std::optional<net::Error>&) {}
};

}  // namespace wv
