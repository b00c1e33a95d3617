#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace wv::net {

// One X.509 certificate, kept as its DER bytes and shared by reference count (copies are cheap
// and see the same bytes). Only the shape of the DER is checked here; the certificate is
// parsed (by the network module) when it is looked into or a chain is evaluated, so holding
// certificates costs a program that never connects no X.509 library.
class Certificate {
  public:
    Certificate() = default;

    // Nothing when the bytes are not one whole DER certificate.
    static std::optional<Certificate> fromDER(const uint8_t* bytes, size_t length);
    // Every certificate of a PEM file, in order; empty when the file cannot be read.
    static std::vector<Certificate> fromPEMFile(const std::string& path);

    explicit operator bool() const { return der_ != nullptr; }
    std::vector<uint8_t> der() const;
    // Bytes as held, without a copy; empty for an empty certificate.
    const uint8_t* derBytes() const { return der_ ? der_->data() : nullptr; }
    size_t derLength() const { return der_ ? der_->size() : 0; }
    std::string subjectCommonName() const;

  private:
    std::shared_ptr<const std::vector<uint8_t>> der_;
};

}  // namespace wv::net
