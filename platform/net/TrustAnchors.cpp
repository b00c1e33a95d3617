#include "platform/net/TrustAnchors.h"

#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <mutex>

namespace wv::net {

namespace {
std::mutex gMutex;
std::optional<std::vector<Certificate>> gReplacement;
}  // namespace

void TrustAnchors::addSystemAnchors(X509_STORE* store) {
    std::lock_guard lock(gMutex);
    if (gReplacement) {
        for (const auto& c : *gReplacement) X509_STORE_add_cert(store, c.x509());
    } else {
        X509_STORE_set_default_paths(store);
    }
}

void TrustAnchors::setSystemAnchorsForTesting(std::optional<std::vector<Certificate>> anchors) {
    std::lock_guard lock(gMutex);
    gReplacement = std::move(anchors);
}

}  // namespace wv::net
