#include "platform/net/curl/X509Certificates.h"

#include <climits>

namespace wv::net {

Certificate certificateOf(X509* x509) {
    unsigned char* buffer = nullptr;
    const int n = x509 ? i2d_X509(x509, &buffer) : 0;
    if (n <= 0) return {};
    auto certificate = Certificate::fromDER(buffer, static_cast<size_t>(n));
    OPENSSL_free(buffer);
    return certificate ? *certificate : Certificate{};
}

X509Ptr x509Of(const Certificate& certificate) {
    if (!certificate || certificate.derLength() > LONG_MAX) return nullptr;
    const unsigned char* p = certificate.derBytes();
    return X509Ptr(d2i_X509(nullptr, &p, static_cast<long>(certificate.derLength())));
}

}  // namespace wv::net
