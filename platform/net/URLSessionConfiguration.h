#pragma once

#include "platform/net/HTTPHeaders.h"

namespace wv::net {

// How a session behaves. There is no background kind: a transfer lives as long as the
// program does.
struct URLSessionConfiguration {
    // Added to every request of the session; a request's own field of the same name wins.
    HTTPHeaders HTTPAdditionalHeaders;
    // Idle limit used when a request does not carry its own (seconds without a byte).
    double timeoutIntervalForRequest = 60.0;
    // Limit on a whole transfer, however busy (seconds).
    double timeoutIntervalForResource = 7 * 24 * 3600.0;
    bool allowsCellularAccess = true;
    unsigned HTTPCookieAcceptPolicy = 2;

    static URLSessionConfiguration defaultSessionConfiguration() { return {}; }
    // Nothing is ever stored on disk by this layer, so the two kinds are alike.
    static URLSessionConfiguration ephemeralSessionConfiguration() { return {}; }
};

}  // namespace wv::net
