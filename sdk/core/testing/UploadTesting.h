#pragma once

// What the SDK's upload tests share: the pinned roots they trust, and a reader of the gzip
// parts they receive.

#include <zlib.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/net/TrustAnchors.h"
#include "platform/net/testing/TestPKI.h"
#include "sdk/core/TRNCertificatePinner.h"

namespace wv::test {

// Root A is pinned; root B stands for the system's store.
class PinnedRoots {
  public:
    PinnedRoots() {
        using net::testing::TestPKI;
        net::TrustAnchors::setSystemAnchorsForTesting(std::vector{TestPKI::shared().rootB()});
        TRNSetPinnedCertificatesForTesting(std::vector{TestPKI::shared().rootA()});
    }
    ~PinnedRoots() {
        TRNSetPinnedCertificatesForTesting(std::nullopt);
        net::TrustAnchors::setSystemAnchorsForTesting(std::nullopt);
    }
    PinnedRoots(const PinnedRoots&) = delete;
    PinnedRoots& operator=(const PinnedRoots&) = delete;
};

inline std::string gunzip(const std::string& bytes) {
    z_stream s{};
    inflateInit2(&s, 16 + MAX_WBITS);
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    s.avail_in = uInt(bytes.size());
    std::string out;
    char buffer[65536];
    int rc = Z_OK;
    while (rc == Z_OK) {
        s.next_out = reinterpret_cast<Bytef*>(buffer);
        s.avail_out = sizeof buffer;
        rc = inflate(&s, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - s.avail_out);
    }
    inflateEnd(&s);
    return rc == Z_STREAM_END ? out : "<not a complete gzip stream>";
}

}  // namespace wv::test
