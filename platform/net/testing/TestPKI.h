#pragma once

#include <string>

#include "platform/net/Certificate.h"

namespace wv::net::testing {

// A certificate and its key on disk, for a test server. `chainPath` holds the leaf first,
// then any intermediate the server presents.
struct TlsIdentity {
    std::string chainPath;
    std::string keyPath;
};

// Roots and server certificates made by the `openssl` program in a temporary folder. Every leaf
// names 127.0.0.1 and localhost unless its purpose is to name something else.
class TestPKI {
  public:
    static const TestPKI& shared();

    // Two unrelated roots: tests pin one and let the other stand for the system's store.
    Certificate rootA() const;
    Certificate rootB() const;
    std::string rootAPath() const { return dir_ + "/rootA.pem"; }
    std::string rootBPath() const { return dir_ + "/rootB.pem"; }

    TlsIdentity leafA() const;                 // issued by root A
    TlsIdentity leafAViaIntermediate() const;  // issued by an intermediate of root A
    TlsIdentity leafB() const;                 // issued by root B
    TlsIdentity wrongHostA() const;            // root A, but for wrong.invalid only
    TlsIdentity expiredA() const;              // root A, valid only in January 2020
    TlsIdentity selfSigned() const;            // its own issuer
    const std::string& folder() const { return dir_; }

  private:
    TestPKI();
    std::string dir_;
};

}  // namespace wv::net::testing
