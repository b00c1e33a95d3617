#include "platform/cloudkit/ByteReader.h"

namespace wv::ck {

bool ByteReader::take(size_t n) {
    if (failed_ || n > bytes_.size() - offset_) {
        failed_ = true;
        return false;
    }
    return true;
}

std::optional<uint8_t> ByteReader::u8() {
    if (!take(1)) return std::nullopt;
    return bytes_[offset_++];
}

std::optional<uint16_t> ByteReader::u16() {
    if (!take(2)) return std::nullopt;
    const uint16_t value = static_cast<uint16_t>((bytes_[offset_] << 8) | bytes_[offset_ + 1]);
    offset_ += 2;
    return value;
}

std::optional<uint64_t> ByteReader::u64() {
    if (!take(8)) return std::nullopt;
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value = (value << 8) | bytes_[offset_ + i];
    offset_ += 8;
    return value;
}

std::optional<std::string> ByteReader::text(size_t length) {
    if (!take(length)) return std::nullopt;
    std::string value(reinterpret_cast<const char*>(bytes_.data() + offset_), length);
    offset_ += length;
    return value;
}

void appendU8(std::vector<uint8_t>& out, uint8_t value) { out.push_back(value); }

void appendU16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

void appendU64(std::vector<uint8_t>& out, uint64_t value) {
    for (int shift = 56; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

void appendText(std::vector<uint8_t>& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
}

uint64_t fingerprint(const std::string& text) {
    uint64_t hash = 1469598103934665603ULL;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ULL;
    }
    return hash;
}

}  // namespace wv::ck
