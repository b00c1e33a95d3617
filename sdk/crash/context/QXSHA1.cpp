#include "sdk/crash/context/QXSHA1.h"

#include <cstring>

namespace wv {
namespace {

uint32_t rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

void compress(uint32_t state[5], const uint8_t block[64]) {
    uint32_t w[80];
    for (int i = 0; i < 16; ++i) {
        w[i] = (uint32_t(block[4 * i]) << 24) | (uint32_t(block[4 * i + 1]) << 16) |
               (uint32_t(block[4 * i + 2]) << 8) | uint32_t(block[4 * i + 3]);
    }
    for (int i = 16; i < 80; ++i) w[i] = rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
    for (int i = 0; i < 80; ++i) {
        uint32_t f, k;
        if (i < 20) {
            f = (b & c) | (~b & d);
            k = 0x5a827999;
        } else if (i < 40) {
            f = b ^ c ^ d;
            k = 0x6ed9eba1;
        } else if (i < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8f1bbcdc;
        } else {
            f = b ^ c ^ d;
            k = 0xca62c1d6;
        }
        uint32_t t = rotl(a, 5) + f + e + k + w[i];
        e = d;
        d = c;
        c = rotl(b, 30);
        b = a;
        a = t;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
}

}  // namespace

void QXSHA1Init(QXSHA1Context* context) {
    static constexpr uint32_t kInitial[5] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476,
                                             0xc3d2e1f0};
    memcpy(context->state, kInitial, sizeof(kInitial));
    context->length = 0;
    context->fill = 0;
}

void QXSHA1Update(QXSHA1Context* context, const void* bytes, uint64_t length) {
    const auto* p = static_cast<const uint8_t*>(bytes);
    context->length += length;
    while (length > 0) {
        uint32_t take = 64 - context->fill;
        if (take > length) take = static_cast<uint32_t>(length);
        memcpy(context->block + context->fill, p, take);
        context->fill += take;
        p += take;
        length -= take;
        if (context->fill == 64) {
            compress(context->state, context->block);
            context->fill = 0;
        }
    }
}

void QXSHA1Final(QXSHA1Context* context, uint8_t digest[20]) {
    uint64_t bits = context->length * 8;
    uint8_t pad = 0x80;
    QXSHA1Update(context, &pad, 1);
    uint8_t zero = 0;
    while (context->fill != 56) QXSHA1Update(context, &zero, 1);
    uint8_t lengthBytes[8];
    for (int i = 0; i < 8; ++i) lengthBytes[i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
    QXSHA1Update(context, lengthBytes, 8);
    for (int i = 0; i < 5; ++i) {
        for (int j = 0; j < 4; ++j)
            digest[4 * i + j] = static_cast<uint8_t>(context->state[i] >> (24 - 8 * j));
    }
}

void QXSHA1Digest(const void* bytes, uint64_t length, uint8_t digest[20]) {
    QXSHA1Context context;
    QXSHA1Init(&context);
    QXSHA1Update(&context, bytes, length);
    QXSHA1Final(&context, digest);
}

}  // namespace wv
