#include "platform/crypto/Digest.h"

#include <openssl/evp.h>

#include <memory>

namespace wv::digest {

namespace {

struct ContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using Context = std::unique_ptr<EVP_MD_CTX, ContextFree>;

// EVP_DigestUpdate takes a size_t, but feeding it in bounded chunks keeps us independent of
// how any one provider treats very large single updates.
constexpr size_t kChunk = size_t(1) << 30;

template <class Out>
Out digestOf(const EVP_MD* md, const void* bytes, size_t length) {
    Out out{};
    Context context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), md, nullptr) != 1) return out;
    auto* p = static_cast<const uint8_t*>(bytes);
    while (length > 0) {
        const size_t n = length < kChunk ? length : kChunk;
        EVP_DigestUpdate(context.get(), p, n);
        p += n;
        length -= n;
    }
    unsigned int written = 0;
    EVP_DigestFinal_ex(context.get(), out.data(), &written);
    return out;
}

// Fetched once: looking an algorithm up in the providers costs more than hashing a short input.
const EVP_MD* fetched(const char* name) {
    if (EVP_MD* md = EVP_MD_fetch(nullptr, name, nullptr)) return md;
    return nullptr;
}

}  // namespace

Sha1 sha1(const void* bytes, size_t length) {
    static const EVP_MD* md = fetched("SHA1");
    return digestOf<Sha1>(md ? md : EVP_sha1(), bytes, length);
}

Sha256 sha256(const void* bytes, size_t length) {
    static const EVP_MD* md = fetched("SHA256");
    return digestOf<Sha256>(md ? md : EVP_sha256(), bytes, length);
}

}  // namespace wv::digest
