#include "platform/net/Certificate.h"

#include "platform/net/NetModule.h"

namespace wv::net {

namespace {

// One DER element: its tag and where its contents lie. Every length is checked against the
// bytes that are left, so nothing read from the input can point past its end.
struct Element {
    uint8_t tag = 0;
    size_t contentStart = 0;
    size_t end = 0;
};

std::optional<Element> element(const uint8_t* bytes, size_t at, size_t limit) {
    if (at + 2 > limit) return std::nullopt;
    Element e;
    e.tag = bytes[at];
    size_t p = at + 1;
    size_t length = bytes[p++];
    if (length & 0x80) {
        const size_t count = length & 0x7f;
        // DER: no indefinite form, at most what a size holds, and never a longer form than
        // the length needs.
        if (count == 0 || count > sizeof(size_t) || p + count > limit || bytes[p] == 0)
            return std::nullopt;
        length = 0;
        for (size_t i = 0; i < count; ++i) length = (length << 8) | bytes[p++];
        if (length < 0x80) return std::nullopt;
    }
    if (length > limit - p) return std::nullopt;
    e.contentStart = p;
    e.end = p + length;
    return e;
}

constexpr uint8_t kSequence = 0x30;
constexpr uint8_t kInteger = 0x02;
constexpr uint8_t kBitString = 0x03;
constexpr uint8_t kExplicitVersion = 0xa0;

// Certificate ::= SEQUENCE { tbsCertificate, signatureAlgorithm, signatureValue }, with the
// to-be-signed part opening on its version, serial number, algorithm, issuer, validity,
// subject and key, and nothing after the outer sequence.
bool isOneCertificate(const uint8_t* bytes, size_t length) {
    auto outer = element(bytes, 0, length);
    if (!outer || outer->tag != kSequence || outer->end != length) return false;
    auto tbs = element(bytes, outer->contentStart, outer->end);
    if (!tbs || tbs->tag != kSequence) return false;
    auto algorithm = element(bytes, tbs->end, outer->end);
    if (!algorithm || algorithm->tag != kSequence) return false;
    auto signature = element(bytes, algorithm->end, outer->end);
    if (!signature || signature->tag != kBitString || signature->end != outer->end) return false;

    size_t at = tbs->contentStart;
    auto field = element(bytes, at, tbs->end);
    if (field && field->tag == kExplicitVersion) {
        at = field->end;
        field = element(bytes, at, tbs->end);
    }
    if (!field || field->tag != kInteger) return false;
    for (int i = 0; i < 5; ++i) {  // algorithm, issuer, validity, subject, key
        field = element(bytes, field->end, tbs->end);
        if (!field || field->tag != kSequence) return false;
    }
    return true;
}

}  // namespace

std::optional<Certificate> Certificate::fromDER(const uint8_t* bytes, size_t length) {
    if (!bytes || length == 0 || !isOneCertificate(bytes, length)) return std::nullopt;
    Certificate c;
    c.der_ = std::make_shared<const std::vector<uint8_t>>(bytes, bytes + length);
    return c;
}

std::vector<Certificate> Certificate::fromPEMFile(const std::string& path) {
    NetModule* module = NetModule::shared();
    return module ? module->certificatesInPEMFile(path) : std::vector<Certificate>{};
}

std::vector<uint8_t> Certificate::der() const { return der_ ? *der_ : std::vector<uint8_t>{}; }

std::string Certificate::subjectCommonName() const {
    NetModule* module = der_ ? NetModule::shared() : nullptr;
    return module ? module->subjectCommonName(*this) : std::string();
}

}  // namespace wv::net
