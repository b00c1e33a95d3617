#pragma once

#include <string>
#include <vector>

#include "platform/net/HTTPHeaders.h"

namespace wv::net {

// What to send: method, URL, header fields and a body held in memory or read from a file as
// it goes. `timeoutInterval` is an idle limit (seconds without a byte either way), not a
// limit on the whole exchange, so a slow but steady upload is never cut off.
struct URLRequest {
    enum class CachePolicy { UseProtocolCachePolicy = 0, ReloadIgnoringLocalCacheData = 1 };

    std::string url;
    std::string httpMethod = "GET";
    HTTPHeaders headers;
    std::string body;
    std::string bodyFile;  // when set, the body is streamed from this file instead
    double timeoutInterval = 60.0;
    // When false, a redirect is the reply: its status and Location reach the caller as they
    // came, and nothing is sent to the place it names.
    bool followsRedirects = true;
    CachePolicy cachePolicy = CachePolicy::UseProtocolCachePolicy;

    URLRequest() = default;
    explicit URLRequest(std::string u, double timeout = 60.0)
        : url(std::move(u)), timeoutInterval(timeout) {}
};

}  // namespace wv::net
