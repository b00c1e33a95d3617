#include <arpa/inet.h>
#include <curl/curl.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <mutex>

#include "platform/net/NetModule.h"
#include "platform/net/curl/CurlSessionEngine.h"
#include "platform/net/curl/X509Certificates.h"

namespace wv::net {

namespace {

bool isIPAddress(const std::string& host) {
    unsigned char buffer[16];
    return inet_pton(AF_INET, host.c_str(), buffer) == 1 ||
           inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

class CurlNetModule final : public NetModule {
  public:
    std::shared_ptr<SessionEngine> makeSessionEngine(URLSessionConfiguration configuration,
                                                     std::shared_ptr<URLSessionDelegate> delegate,
                                                     URLSession::Executor executor) override {
        return std::make_shared<CurlSessionEngine>(std::move(configuration), std::move(delegate),
                                                   std::move(executor));
    }

    bool isValidURL(const std::string& text) override {
        CURLU* url = curl_url();
        if (!url) return false;
        const bool ok = curl_url_set(url, CURLUPART_URL, text.c_str(), 0) == CURLUE_OK;
        curl_url_cleanup(url);
        return ok;
    }

    std::vector<Certificate> certificatesInPEMFile(const std::string& path) override {
        std::vector<Certificate> out;
        std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
        if (!file) return out;
        while (X509* x = PEM_read_X509(file.get(), nullptr, nullptr, nullptr)) {
            out.push_back(certificateOf(x));
            X509_free(x);
        }
        return out;
    }

    std::string subjectCommonName(const Certificate& certificate) override {
        X509Ptr x509 = x509Of(certificate);
        if (!x509) return {};
        char name[256] = {};
        X509_NAME_get_text_by_NID(X509_get_subject_name(x509.get()), NID_commonName, name,
                                  sizeof name);
        return name;
    }

    int evaluateTrust(const TrustQuestion& q, TrustResult* result, std::string* failure) override {
        *result = TrustResult::Invalid;
        X509Ptr leaf = x509Of(q.leaf);
        std::unique_ptr<X509_STORE, decltype(&X509_STORE_free)> store(X509_STORE_new(),
                                                                      &X509_STORE_free);
        std::unique_ptr<X509_STORE_CTX, decltype(&X509_STORE_CTX_free)> ctx(X509_STORE_CTX_new(),
                                                                            &X509_STORE_CTX_free);
        std::unique_ptr<STACK_OF(X509), void (*)(STACK_OF(X509)*)> chain(
            sk_X509_new_null(), [](STACK_OF(X509) * s) { sk_X509_pop_free(s, X509_free); });
        if (!leaf || !store || !ctx || !chain) return -1;
        for (const auto& a : q.anchors) addAnchor(store.get(), a);
        if (!q.anchorsOnly) addSystemAnchors(store.get());
        for (const auto& c : q.intermediates) {
            if (X509* x = x509Of(c).release(); x && !sk_X509_push(chain.get(), x)) X509_free(x);
        }
        if (X509_STORE_CTX_init(ctx.get(), store.get(), leaf.get(), chain.get()) != 1) return -1;

        X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(ctx.get());
        X509_VERIFY_PARAM_set_purpose(param, X509_PURPOSE_SSL_SERVER);
        const bool hostSet = isIPAddress(q.host)
                                 ? X509_VERIFY_PARAM_set1_ip_asc(param, q.host.c_str())
                                 : X509_VERIFY_PARAM_set1_host(param, q.host.c_str(), 0);
        if (q.host.empty() || hostSet != 1) {
            *failure = "no host to check the certificate against";
            *result = TrustResult::RecoverableTrustFailure;
            return 0;
        }
        if (X509_verify_cert(ctx.get()) == 1) {
            failure->clear();
            *result = TrustResult::Unspecified;
        } else {
            *failure = X509_verify_cert_error_string(X509_STORE_CTX_get_error(ctx.get()));
            *result = TrustResult::RecoverableTrustFailure;
        }
        return 0;
    }

    void setSystemAnchors(std::optional<std::vector<Certificate>> anchors) override {
        std::lock_guard lock(anchorsMutex_);
        replacementAnchors_ = std::move(anchors);
    }

  private:
    static void addAnchor(X509_STORE* store, const Certificate& certificate) {
        // The store takes a reference of its own.
        if (X509Ptr x = x509Of(certificate)) X509_STORE_add_cert(store, x.get());
    }

    void addSystemAnchors(X509_STORE* store) {
        std::lock_guard lock(anchorsMutex_);
        if (replacementAnchors_) {
            for (const auto& c : *replacementAnchors_) addAnchor(store, c);
        } else {
            X509_STORE_set_default_paths(store);
        }
    }

    std::mutex anchorsMutex_;
    std::optional<std::vector<Certificate>> replacementAnchors_;
};

}  // namespace

}  // namespace wv::net

// What the program finds by name after opening the module (see NetModule::shared).
extern "C" wv::net::NetModule* wovanu_net_module() {
    // Never destroyed: session threads may still ask it about a chain while the process ends.
    static auto* const module = new wv::net::CurlNetModule;
    return module;
}
