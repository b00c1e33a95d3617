#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/net/Certificate.h"

namespace wv::net {

// Outcomes of an evaluation, numbered as the trust results callers compare against.
enum class TrustResult {
    Invalid = 0,
    Proceed = 1,
    Unspecified = 4,
    RecoverableTrustFailure = 5,
    FatalTrustFailure = 6,
};

// The chain a server presented during the handshake, with the host it must be valid for.
// Evaluation builds a path from the leaf through the presented intermediates to one of the
// anchors, checks dates and that the leaf names the host (a DNS name or an IP address), and
// knows nothing of pinning: callers choose the anchors. Safe to use from several threads.
class ServerTrust {
  public:
    ServerTrust(Certificate leaf, std::vector<Certificate> intermediates, std::string host);

    const Certificate& leaf() const { return leaf_; }
    const std::vector<Certificate>& intermediates() const { return intermediates_; }
    const std::string& host() const { return host_; }

    // Status 0 on success; like the platform call, it never fails for a valid certificate list.
    int setAnchorCertificates(std::vector<Certificate> anchors);
    // true: only the anchors set above count; false (the default): the system roots too.
    int setAnchorCertificatesOnly(bool only);

    // Status 0 unless the evaluation could not run; `result` says whether the chain holds.
    int evaluate(TrustResult* result);
    // OpenSSL's reason of the last failed evaluation, for logs and tests.
    std::string lastFailure() const;

  private:
    Certificate leaf_;
    std::vector<Certificate> intermediates_;
    std::string host_;
    mutable std::mutex mutex_;
    std::vector<Certificate> anchors_;
    bool anchorsOnly_ = false;
    std::string lastFailure_;
};

}  // namespace wv::net
