#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

typedef struct x509_st X509;

namespace wv::net {

// One X.509 certificate, shared by reference count (copies are cheap and see the same object).
class Certificate {
  public:
    Certificate() = default;
    // Takes a reference of its own; the caller keeps its.
    explicit Certificate(X509* x509);
    Certificate(const Certificate& other);
    Certificate& operator=(const Certificate& other);
    Certificate(Certificate&& other) noexcept;
    Certificate& operator=(Certificate&& other) noexcept;
    ~Certificate();

    // Nothing when the bytes are not one whole DER certificate.
    static std::optional<Certificate> fromDER(const uint8_t* bytes, size_t length);
    // Every certificate of a PEM file, in order; empty when the file cannot be read.
    static std::vector<Certificate> fromPEMFile(const std::string& path);

    X509* x509() const { return x509_; }
    explicit operator bool() const { return x509_ != nullptr; }
    std::vector<uint8_t> der() const;
    std::string subjectCommonName() const;

  private:
    X509* x509_ = nullptr;
};

}  // namespace wv::net
