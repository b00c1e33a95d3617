#include "sdk/core/TRNIcon.h"

#include <cstring>

#include "sdk/core/TRNHashing.h"

namespace wv {

namespace {

uint32_t bigU32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

// Walks the chunks from the signature to IEND, every length checked against the bytes;
// the size comes from IHDR, which must come first.
bool pngSize(const std::vector<uint8_t>& png, TRNSize* size) {
    if (png.size() < 8 + 25 || std::memcmp(png.data(), kSignature, 8) != 0) return false;
    if (bigU32(&png[8]) != 13 || std::memcmp(&png[12], "IHDR", 4) != 0) return false;
    const uint32_t width = bigU32(&png[16]);
    const uint32_t height = bigU32(&png[20]);
    if (width == 0 || height == 0) return false;
    size_t offset = 8;
    while (png.size() - offset >= 12) {
        const uint64_t length = bigU32(&png[offset]);
        if (length > png.size() - offset - 12) return false;
        if (std::memcmp(&png[offset + 4], "IEND", 4) == 0) {
            *size = TRNSize{double(width), double(height)};
            return true;
        }
        offset += 12 + size_t(length);
    }
    return false;
}

}  // namespace

TRNIcon::TRNIcon(std::vector<uint8_t> data, std::string dataHash, TRNSize size, bool prerendered)
    : data_(std::move(data)),
      dataHash_(std::move(dataHash)),
      size_(size),
      prerendered_(prerendered) {}

TRNIcon::TRNIcon(std::vector<uint8_t> data, TRNSize size, bool prerendered)
    : size_(size), prerendered_(prerendered) {
    dataHash_ = TRNSHA1HexDigestOfData(data);
    data_ = std::move(data);
}

TRNIcon::TRNIcon(std::vector<uint8_t> data, TRNSize size) : TRNIcon(std::move(data), size, true) {}

std::shared_ptr<TRNIcon> TRNIcon::initWithPNG(std::vector<uint8_t> png) {
    TRNSize size;
    if (!pngSize(png, &size)) return nullptr;
    return std::make_shared<TRNIcon>(std::move(png), size);
}

}  // namespace wv
