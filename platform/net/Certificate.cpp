#include "platform/net/Certificate.h"

#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cstdio>
#include <memory>

namespace wv::net {

Certificate::Certificate(X509* x509) : x509_(x509) {
    if (x509_) X509_up_ref(x509_);
}

Certificate::Certificate(const Certificate& other) : Certificate(other.x509_) {}

Certificate& Certificate::operator=(const Certificate& other) {
    if (this != &other) {
        if (other.x509_) X509_up_ref(other.x509_);
        if (x509_) X509_free(x509_);
        x509_ = other.x509_;
    }
    return *this;
}

Certificate::Certificate(Certificate&& other) noexcept : x509_(other.x509_) {
    other.x509_ = nullptr;
}

Certificate& Certificate::operator=(Certificate&& other) noexcept {
    if (this != &other) {
        if (x509_) X509_free(x509_);
        x509_ = other.x509_;
        other.x509_ = nullptr;
    }
    return *this;
}

Certificate::~Certificate() {
    if (x509_) X509_free(x509_);
}

std::optional<Certificate> Certificate::fromDER(const uint8_t* bytes, size_t length) {
    if (!bytes || length == 0 || length > LONG_MAX) return std::nullopt;
    const unsigned char* p = bytes;
    X509* x = d2i_X509(nullptr, &p, static_cast<long>(length));
    // Trailing bytes mean the input was not exactly one certificate.
    if (!x || p != bytes + length) {
        if (x) X509_free(x);
        return std::nullopt;
    }
    Certificate c(x);
    X509_free(x);
    return c;
}

std::vector<Certificate> Certificate::fromPEMFile(const std::string& path) {
    std::vector<Certificate> out;
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) return out;
    while (X509* x = PEM_read_X509(file.get(), nullptr, nullptr, nullptr)) {
        out.emplace_back(x);
        X509_free(x);
    }
    return out;
}

std::vector<uint8_t> Certificate::der() const {
    if (!x509_) return {};
    unsigned char* buffer = nullptr;
    const int n = i2d_X509(x509_, &buffer);
    if (n <= 0) return {};
    std::vector<uint8_t> out(buffer, buffer + n);
    OPENSSL_free(buffer);
    return out;
}

std::string Certificate::subjectCommonName() const {
    if (!x509_) return {};
    char name[256] = {};
    X509_NAME_get_text_by_NID(X509_get_subject_name(x509_), NID_commonName, name, sizeof name);
    return name;
}

}  // namespace wv::net
