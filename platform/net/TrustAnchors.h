#pragma once

#include <optional>
#include <vector>

#include "platform/net/Certificate.h"

namespace wv::net {

// The roots the operating system trusts: OpenSSL's default locations (Debian's
// ca-certificates), read by the network module when a chain is evaluated. Tests replace them
// with roots of their own, so that "trusted by the system but not pinned" can be shown
// without any public server.
class TrustAnchors {
  public:
    // Test seam: replaces the system roots for the whole process; nullopt restores them.
    static void setSystemAnchorsForTesting(std::optional<std::vector<Certificate>> anchors);
};

}  // namespace wv::net
