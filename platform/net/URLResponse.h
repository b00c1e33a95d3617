#pragma once

#include <string>

#include "platform/net/HTTPHeaders.h"

namespace wv::net {

// The head of a reply. Every reply this layer produces is HTTP; `isHTTP` false stands for a
// reply of another protocol, which has neither status nor header fields.
struct URLResponse {
    std::string url;
    int statusCode = 0;
    HTTPHeaders headers;
    bool isHTTP = true;
};

}  // namespace wv::net
