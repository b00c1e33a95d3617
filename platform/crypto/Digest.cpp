#include "platform/crypto/Digest.h"

#include <glib.h>

#include <limits>
#include <memory>

namespace wv::digest {

namespace {

struct ChecksumFree {
    void operator()(GChecksum* checksum) const { g_checksum_free(checksum); }
};
using Checksum = std::unique_ptr<GChecksum, ChecksumFree>;

// g_checksum_update takes a signed length: longer inputs go in pieces that fit it.
constexpr size_t kChunk = size_t(1) << 30;
static_assert(kChunk <= size_t(std::numeric_limits<gssize>::max()));

template <class Out>
Out digestOf(GChecksumType type, const void* bytes, size_t length) {
    Out out{};
    Checksum checksum(g_checksum_new(type));
    if (!checksum) return out;
    auto* p = static_cast<const guchar*>(bytes);
    while (length > 0) {
        const size_t n = length < kChunk ? length : kChunk;
        g_checksum_update(checksum.get(), p, static_cast<gssize>(n));
        p += n;
        length -= n;
    }
    gsize written = out.size();
    g_checksum_get_digest(checksum.get(), out.data(), &written);
    return out;
}

}  // namespace

Sha1 sha1(const void* bytes, size_t length) {
    return digestOf<Sha1>(G_CHECKSUM_SHA1, bytes, length);
}

Sha256 sha256(const void* bytes, size_t length) {
    return digestOf<Sha256>(G_CHECKSUM_SHA256, bytes, length);
}

}  // namespace wv::digest
