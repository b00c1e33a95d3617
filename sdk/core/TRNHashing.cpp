#include "sdk/core/TRNHashing.h"

#include <sys/random.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "platform/crypto/Digest.h"

namespace wv {

namespace {
constexpr char kDigits[] = "0123456789abcdef";
constexpr char kUpperDigits[] = "0123456789ABCDEF";

void randomBytes(uint8_t* out, size_t count) {
    size_t filled = 0;
    while (filled < count) {
        const ssize_t n = getrandom(out + filled, count - filled, 0);
        if (n > 0) {
            filled += size_t(n);
        } else if (n < 0 && errno != EINTR) {
            // Without the kernel's source the identifiers must still differ between runs.
            std::random_device device;
            for (; filled < count; ++filled) out[filled] = uint8_t(device());
        }
    }
}
}  // namespace

void TRNHexEncodeByte(uint8_t byte, char* buffer) {
    if (!buffer) return;
    buffer[0] = kDigits[byte >> 4];
    buffer[1] = kDigits[byte & 0x0f];
}

void TRNHexEncodeBytes(const uint8_t* bytes, size_t count, char* buffer) {
    if (!buffer) return;
    std::memset(buffer, 0, 2 * count + 1);
    if (!bytes) return;
    for (size_t i = 0; i < count; ++i) TRNHexEncodeByte(bytes[i], buffer + 2 * i);
}

std::string TRNHexStringFromData(std::span<const uint8_t> data) {
    std::string out(2 * data.size() + 1, '\0');
    TRNHexEncodeBytes(data.data(), data.size(), out.data());
    out.pop_back();
    return out;
}

std::string TRNSHA1HexDigest(const void* bytes, size_t length) {
    const auto digest = digest::sha1(bytes, length);
    return TRNHexStringFromData(digest);
}

std::string TRNSHA1HexDigestOfData(std::span<const uint8_t> data) {
    return TRNSHA1HexDigest(data.data(), data.size());
}

std::string TRNSHA256HexDigest(const void* bytes, size_t length) {
    const auto digest = digest::sha256(bytes, length);
    return TRNHexStringFromData(digest);
}

std::string TRNSHA256HexDigestOfData(std::span<const uint8_t> data) {
    return TRNSHA256HexDigest(data.data(), data.size());
}

void TRNEnumerateDataByteRanges(std::span<const uint8_t> data, const TRNByteRangeBlock& block) {
    bool stop = false;
    block(data.data(), TRNByteRange{0, data.size()}, stop);
}

void TRNEnumerateDataByteRanges(const std::vector<std::span<const uint8_t>>& ranges,
                                const TRNByteRangeBlock& block) {
    size_t location = 0;
    bool stop = false;
    for (const auto& range : ranges) {
        block(range.data(), TRNByteRange{location, range.size()}, stop);
        if (stop) return;
        location += range.size();
    }
}

std::string TRNGenerateUUIDString() {
    uint8_t bytes[16];
    randomBytes(bytes, sizeof bytes);
    bytes[6] = uint8_t((bytes[6] & 0x0f) | 0x40);  // version 4
    bytes[8] = uint8_t((bytes[8] & 0x3f) | 0x80);  // RFC 4122 variant
    std::string out;
    out.reserve(36);
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
        out += kUpperDigits[bytes[i] >> 4];
        out += kUpperDigits[bytes[i] & 0x0f];
    }
    return out;
}

std::string TRNHexStringFromUUIDBytes(const uint8_t* bytes) {
    return TRNHexStringFromData(std::span<const uint8_t>(bytes, 16));
}

}  // namespace wv
