#include "platform/net/ServerTrust.h"

#include <arpa/inet.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <memory>

#include "platform/net/TrustAnchors.h"

namespace wv::net {

namespace {
bool isIPAddress(const std::string& host) {
    unsigned char buffer[16];
    return inet_pton(AF_INET, host.c_str(), buffer) == 1 ||
           inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}
}  // namespace

ServerTrust::ServerTrust(Certificate leaf, std::vector<Certificate> intermediates, std::string host)
    : leaf_(std::move(leaf)), intermediates_(std::move(intermediates)), host_(std::move(host)) {
    // "[::1]" arrives bracketed from URLs; the certificate carries the bare address.
    if (host_.size() > 2 && host_.front() == '[' && host_.back() == ']')
        host_ = host_.substr(1, host_.size() - 2);
}

int ServerTrust::setAnchorCertificates(std::vector<Certificate> anchors) {
    std::lock_guard lock(mutex_);
    anchors_ = std::move(anchors);
    return 0;
}

int ServerTrust::setAnchorCertificatesOnly(bool only) {
    std::lock_guard lock(mutex_);
    anchorsOnly_ = only;
    return 0;
}

std::string ServerTrust::lastFailure() const {
    std::lock_guard lock(mutex_);
    return lastFailure_;
}

int ServerTrust::evaluate(TrustResult* result) {
    std::lock_guard lock(mutex_);
    *result = TrustResult::Invalid;
    if (!leaf_) return -1;
    std::unique_ptr<X509_STORE, decltype(&X509_STORE_free)> store(X509_STORE_new(),
                                                                  &X509_STORE_free);
    std::unique_ptr<X509_STORE_CTX, decltype(&X509_STORE_CTX_free)> ctx(X509_STORE_CTX_new(),
                                                                        &X509_STORE_CTX_free);
    std::unique_ptr<STACK_OF(X509), void (*)(STACK_OF(X509)*)> chain(
        sk_X509_new_null(), [](STACK_OF(X509) * s) { sk_X509_free(s); });
    if (!store || !ctx || !chain) return -1;
    for (const auto& a : anchors_) X509_STORE_add_cert(store.get(), a.x509());
    if (!anchorsOnly_) TrustAnchors::addSystemAnchors(store.get());
    for (const auto& c : intermediates_) sk_X509_push(chain.get(), c.x509());
    if (X509_STORE_CTX_init(ctx.get(), store.get(), leaf_.x509(), chain.get()) != 1) return -1;

    X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(ctx.get());
    X509_VERIFY_PARAM_set_purpose(param, X509_PURPOSE_SSL_SERVER);
    const bool hostSet = isIPAddress(host_) ? X509_VERIFY_PARAM_set1_ip_asc(param, host_.c_str())
                                            : X509_VERIFY_PARAM_set1_host(param, host_.c_str(), 0);
    if (host_.empty() || hostSet != 1) {
        lastFailure_ = "no host to check the certificate against";
        *result = TrustResult::RecoverableTrustFailure;
        return 0;
    }
    if (X509_verify_cert(ctx.get()) == 1) {
        lastFailure_.clear();
        *result = TrustResult::Unspecified;
    } else {
        lastFailure_ = X509_verify_cert_error_string(X509_STORE_CTX_get_error(ctx.get()));
        *result = TrustResult::RecoverableTrustFailure;
    }
    return 0;
}

}  // namespace wv::net
