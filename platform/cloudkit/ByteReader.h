#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace wv::ck {

// Reads fixed-width big-endian fields from bytes that came from outside (a stored token, a
// cursor handed back by a caller). Every read is bounds-checked: past the end it yields none
// and the reader stays failed, so a decoder checks once at the end.
class ByteReader {
  public:
    explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    std::optional<uint8_t> u8();
    std::optional<uint16_t> u16();
    std::optional<uint64_t> u64();
    std::optional<std::string> text(size_t length);
    bool failed() const { return failed_; }
    bool atEnd() const { return !failed_ && offset_ == bytes_.size(); }

  private:
    bool take(size_t n);
    std::span<const uint8_t> bytes_;
    size_t offset_ = 0;
    bool failed_ = false;
};

// The writing side of the same format.
void appendU8(std::vector<uint8_t>& out, uint8_t value);
void appendU16(std::vector<uint8_t>& out, uint16_t value);
void appendU64(std::vector<uint8_t>& out, uint64_t value);
void appendText(std::vector<uint8_t>& out, const std::string& text);

// FNV-1a, for binding a token or cursor to the container and account it was made for.
uint64_t fingerprint(const std::string& text);

}  // namespace wv::ck
