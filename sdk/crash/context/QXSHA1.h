#pragma once

// SHA-1 (the published secure hash standard) over a byte range.
//
// Crash-time contract: async-signal-safe, no heap, no lock, no stdio; the state lives on the
// caller's stack. The core's digests go through libcrypto, which may allocate: not here.

#include <cstdint>

namespace wv {

struct QXSHA1Context {
    uint32_t state[5];
    uint64_t length;  // bytes fed so far
    uint8_t block[64];
    uint32_t fill;
};

void QXSHA1Init(QXSHA1Context* context);
void QXSHA1Update(QXSHA1Context* context, const void* bytes, uint64_t length);
void QXSHA1Final(QXSHA1Context* context, uint8_t digest[20]);
void QXSHA1Digest(const void* bytes, uint64_t length, uint8_t digest[20]);

}  // namespace wv
