#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/net/AuthenticationChallenge.h"
#include "platform/net/Certificate.h"
#include "platform/net/ServerTrust.h"

namespace wv {

// The pinned public roots, decoded once (safe under concurrent first use), in their order.
std::vector<net::Certificate> TRNPinnedCertificates();
// One certificate from DER bytes; nothing when they are not one whole certificate.
std::optional<net::Certificate> TRNCertificateCreateWithBytes(const uint8_t* bytes, size_t length);
// Test seam: replaces the pinned set for the whole process; nullopt restores it.
void TRNSetPinnedCertificatesForTesting(std::optional<std::vector<net::Certificate>> certificates);

// Decides server-trust challenges: a server is accepted only when its chain ends in one of
// the pinner's roots (and only those: the system's roots do not count) and names the host
// it was reached by. Any other kind of challenge is cancelled. Holds no mutable state.
class TRNCertificatePinner {
  public:
    explicit TRNCertificatePinner(std::vector<net::Certificate> certificates);

    const std::vector<net::Certificate>& certificates() const { return certificates_; }
    static std::optional<net::Certificate> createCertificationWithData(const uint8_t* bytes,
                                                                       size_t length);

    // Status 0 unless the evaluation could not be set up; `result` is Invalid for an empty
    // pinner, FatalTrustFailure when the anchors could not be set.
    int evaluateTrust(net::ServerTrust& trust, net::TrustResult* result) const;
    // Calls `completion` exactly once; true when the server was accepted.
    bool handleChallenge(const net::AuthenticationChallenge& challenge,
                         const net::ChallengeCompletion& completion) const;

  private:
    std::vector<net::Certificate> certificates_;
};

}  // namespace wv
