#pragma once

#include <openssl/x509.h>

#include <memory>

#include "platform/net/Certificate.h"

namespace wv::net {

struct X509Free {
    void operator()(X509* x509) const { X509_free(x509); }
};
using X509Ptr = std::unique_ptr<X509, X509Free>;

// The layer's certificate (DER bytes) for OpenSSL's; empty when it cannot be encoded.
Certificate certificateOf(X509* x509);
// OpenSSL's certificate for the layer's; null when the bytes do not parse as X.509.
X509Ptr x509Of(const Certificate& certificate);

}  // namespace wv::net
