#pragma once

#include <cstdint>

namespace wv::net {

// The URL error code a libcurl result stands for (0 for success). Results that mean the
// connection went away before the reply was whole all read as "connection lost" (-1005), the
// error callers are told to retry.
int64_t urlErrorCodeForCurlCode(int curlCode);

}  // namespace wv::net
