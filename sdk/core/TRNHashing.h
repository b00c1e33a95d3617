#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace wv {

// Lower-case hexadecimal, digests and identifiers. Stateless; safe from any thread.

// Writes the byte as two characters, high nibble first; nothing for a null buffer.
void TRNHexEncodeByte(uint8_t byte, char* buffer);
// `buffer` holds 2n + 1 characters: it is cleared first (an empty or null input leaves the
// empty string), then the 2n characters follow. Nothing for a null buffer.
void TRNHexEncodeBytes(const uint8_t* bytes, size_t count, char* buffer);
std::string TRNHexStringFromData(std::span<const uint8_t> data);

// The whole input is hashed, however long (the length is a size_t, not a 32-bit count).
std::string TRNSHA1HexDigest(const void* bytes, size_t length);
std::string TRNSHA1HexDigestOfData(std::span<const uint8_t> data);
std::string TRNSHA256HexDigest(const void* bytes, size_t length);
std::string TRNSHA256HexDigestOfData(std::span<const uint8_t> data);

// Calls `block` once per contiguous range of the data, in order, until it sets its stop flag;
// a single buffer is one range starting at 0.
struct TRNByteRange {
    size_t location = 0;
    size_t length = 0;
};
using TRNByteRangeBlock = std::function<void(const uint8_t* bytes, TRNByteRange range, bool& stop)>;
void TRNEnumerateDataByteRanges(std::span<const uint8_t> data, const TRNByteRangeBlock& block);
void TRNEnumerateDataByteRanges(const std::vector<std::span<const uint8_t>>& ranges,
                                const TRNByteRangeBlock& block);

// A new random (version 4) UUID: 36 upper-case hexadecimal characters in groups 8-4-4-4-12.
std::string TRNGenerateUUIDString();
// 16 bytes as 32 lower-case hexadecimal characters.
std::string TRNHexStringFromUUIDBytes(const uint8_t* bytes);

}  // namespace wv
