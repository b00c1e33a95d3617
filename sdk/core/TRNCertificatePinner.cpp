#include "sdk/core/TRNCertificatePinner.h"

#include <mutex>

#include "sdk/core/TRNPinnedCertificateData.h"

namespace wv {

namespace {
std::mutex gOverrideMutex;
std::optional<std::vector<net::Certificate>> gOverride;
}  // namespace

std::optional<net::Certificate> TRNCertificateCreateWithBytes(const uint8_t* bytes, size_t length) {
    return net::Certificate::fromDER(bytes, length);
}

std::vector<net::Certificate> TRNPinnedCertificates() {
    {
        std::lock_guard lock(gOverrideMutex);
        if (gOverride) return *gOverride;
    }
    static const std::vector<net::Certificate> pinned = [] {
        std::vector<net::Certificate> out;
        for (auto [bytes, length] :
             {std::pair{kEntrustRootCertificationAuthority,
                        sizeof kEntrustRootCertificationAuthority},
              std::pair{kDigiCertHighAssuranceEVRootCA, sizeof kDigiCertHighAssuranceEVRootCA}}) {
            if (auto c = TRNCertificateCreateWithBytes(bytes, length)) out.push_back(*c);
        }
        return out;
    }();
    return pinned;
}

void TRNSetPinnedCertificatesForTesting(std::optional<std::vector<net::Certificate>> certificates) {
    std::lock_guard lock(gOverrideMutex);
    gOverride = std::move(certificates);
}

TRNCertificatePinner::TRNCertificatePinner(std::vector<net::Certificate> certificates)
    : certificates_(std::move(certificates)) {}

std::optional<net::Certificate> TRNCertificatePinner::createCertificationWithData(
    const uint8_t* bytes, size_t length) {
    return TRNCertificateCreateWithBytes(bytes, length);
}

int TRNCertificatePinner::evaluateTrust(net::ServerTrust& trust, net::TrustResult* result) const {
    if (certificates_.empty()) {
        *result = net::TrustResult::Invalid;
        return 0;
    }
    if (int status = trust.setAnchorCertificates(certificates_); status != 0) {
        *result = net::TrustResult::FatalTrustFailure;
        return status;
    }
    if (int status = trust.setAnchorCertificatesOnly(true); status != 0) {
        *result = net::TrustResult::FatalTrustFailure;
        return status;
    }
    if (int status = trust.evaluate(result); status != 0) {
        *result = net::TrustResult::Invalid;
        return status;
    }
    return 0;
}

bool TRNCertificatePinner::handleChallenge(const net::AuthenticationChallenge& challenge,
                                           const net::ChallengeCompletion& completion) const {
    if (challenge.kind != net::AuthenticationChallenge::Kind::ServerTrust ||
        !challenge.serverTrust) {
        completion(net::ChallengeDisposition::CancelAuthenticationChallenge, nullptr);
        return false;
    }
    net::TrustResult result = net::TrustResult::Invalid;
    const int status = evaluateTrust(*challenge.serverTrust, &result);
    if (status == 0 &&
        (result == net::TrustResult::Proceed || result == net::TrustResult::Unspecified)) {
        completion(net::ChallengeDisposition::UseCredential,
                   net::URLCredential::forTrust(challenge.serverTrust));
        return true;
    }
    completion(net::ChallengeDisposition::CancelAuthenticationChallenge, nullptr);
    return false;
}

}  // namespace wv
