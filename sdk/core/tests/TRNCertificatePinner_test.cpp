#include "sdk/core/TRNCertificatePinner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "platform/net/TrustAnchors.h"
#include "platform/net/testing/TestPKI.h"

namespace wv {
namespace {

using net::testing::TestPKI;

std::vector<uint8_t> debianDER(const std::string& file) {
    const std::string command =
        "openssl x509 -in /usr/share/ca-certificates/mozilla/" + file + " -outform DER";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), &pclose);
    std::vector<uint8_t> out;
    int c;
    while (pipe && (c = std::fgetc(pipe.get())) != EOF) out.push_back(static_cast<uint8_t>(c));
    return out;
}

TEST(TRNCertificatePinner, ThePinnedRootsAreDebiansBytesInTheirOrder) {
    const auto pinned = TRNPinnedCertificates();
    ASSERT_EQ(pinned.size(), 2u);
    struct Case {
        std::string file;
        size_t length;
        std::string commonName;
    };
    const std::vector<Case> cases = {
        {"Entrust_Root_Certification_Authority.crt", 1173, "Entrust Root Certification Authority"},
        {"DigiCert_High_Assurance_EV_Root_CA.crt", 969, "DigiCert High Assurance EV Root CA"}};
    for (size_t i = 0; i < cases.size(); ++i) {
        const auto der = pinned[i].der();
        EXPECT_EQ(der.size(), cases[i].length) << cases[i].file;
        EXPECT_EQ(der, debianDER(cases[i].file)) << cases[i].file;
        EXPECT_EQ(pinned[i].subjectCommonName(), cases[i].commonName);
    }
}

TEST(TRNCertificatePinner, CertificatesAreMadeOnlyFromOneWholeDERCertificate) {
    const auto der = TRNPinnedCertificates().at(0).der();
    EXPECT_TRUE(TRNCertificatePinner::createCertificationWithData(der.data(), der.size()));
    EXPECT_FALSE(TRNCertificateCreateWithBytes(der.data(), der.size() - 1));
    auto longer = der;
    longer.push_back(0);
    EXPECT_FALSE(TRNCertificateCreateWithBytes(longer.data(), longer.size()));
    EXPECT_FALSE(TRNCertificateCreateWithBytes(nullptr, 10));
    const uint8_t junk[] = {1, 2, 3};
    EXPECT_FALSE(TRNCertificateCreateWithBytes(junk, sizeof junk));
}

net::AuthenticationChallenge challengeFor(const net::testing::TlsIdentity& identity,
                                          const std::string& host = "127.0.0.1") {
    auto chain = net::Certificate::fromPEMFile(identity.chainPath);
    net::Certificate leaf = chain.at(0);
    chain.erase(chain.begin());
    return {net::AuthenticationChallenge::Kind::ServerTrust, host, 443,
            std::make_shared<net::ServerTrust>(leaf, chain, host)};
}

TEST(TRNCertificatePinner, AcceptsOnlyAChainToAPinnedRootForTheHost) {
    const auto& pki = TestPKI::shared();
    // Root B stands for every root the system trusts: it must not count.
    net::TrustAnchors::setSystemAnchorsForTesting(std::vector{pki.rootB()});
    struct Case {
        std::string name;
        std::vector<net::Certificate> pinned;
        net::AuthenticationChallenge challenge;
        bool accepted;
    };
    std::vector<Case> cases = {
        {"pinned root", {pki.rootA()}, challengeFor(pki.leafA()), true},
        {"through an intermediate",
         {pki.rootB(), pki.rootA()},
         challengeFor(pki.leafAViaIntermediate()),
         true},
        {"system root only", {pki.rootA()}, challengeFor(pki.leafB()), false},
        {"another host", {pki.rootA()}, challengeFor(pki.leafA(), "localhost.invalid"), false},
        {"expired", {pki.rootA()}, challengeFor(pki.expiredA()), false},
        {"self-signed", {pki.rootA()}, challengeFor(pki.selfSigned()), false},
        {"empty pinner", {}, challengeFor(pki.leafA()), false},
        {"client certificate",
         {pki.rootA()},
         {net::AuthenticationChallenge::Kind::ClientCertificate, "127.0.0.1", 443, nullptr},
         false},
    };
    for (auto& c : cases) {
        TRNCertificatePinner pinner(c.pinned);
        int calls = 0;
        net::ChallengeDisposition disposition{};
        std::shared_ptr<net::URLCredential> credential;
        const bool accepted = pinner.handleChallenge(c.challenge, [&](auto d, auto cred) {
            ++calls;
            disposition = d;
            credential = cred;
        });
        EXPECT_EQ(accepted, c.accepted) << c.name;
        EXPECT_EQ(calls, 1) << c.name;
        EXPECT_EQ(disposition, c.accepted
                                   ? net::ChallengeDisposition::UseCredential
                                   : net::ChallengeDisposition::CancelAuthenticationChallenge)
            << c.name;
        EXPECT_EQ(credential != nullptr, c.accepted) << c.name;
    }
    net::TrustAnchors::setSystemAnchorsForTesting(std::nullopt);
}

TEST(TRNCertificatePinner, AnEmptyPinnerReportsAnInvalidResultWithoutFailing) {
    TRNCertificatePinner pinner({});
    auto challenge = challengeFor(TestPKI::shared().leafA());
    net::TrustResult result = net::TrustResult::Proceed;
    EXPECT_EQ(pinner.evaluateTrust(*challenge.serverTrust, &result), 0);
    EXPECT_EQ(result, net::TrustResult::Invalid);
}

TEST(TRNCertificatePinner, TheTestSeamReplacesAndRestoresThePinnedSet) {
    TRNSetPinnedCertificatesForTesting(std::vector{TestPKI::shared().rootA()});
    ASSERT_EQ(TRNPinnedCertificates().size(), 1u);
    EXPECT_EQ(TRNPinnedCertificates()[0].subjectCommonName(), "Wovanu Test Root A");
    TRNSetPinnedCertificatesForTesting(std::nullopt);
    EXPECT_EQ(TRNPinnedCertificates().size(), 2u);
}

}  // namespace
}  // namespace wv
