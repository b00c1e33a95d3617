#include "platform/crypto/Digest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wv::digest {
namespace {

template <size_t N>
std::string hex(const std::array<uint8_t, N>& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

struct Vector {
    std::string input;
    const char* sha1;
    const char* sha256;
};

// FIPS 180-4 examples, and a length that crosses a 64-byte block with padding left over.
TEST(Digest, KnownVectors) {
    const std::vector<Vector> vectors = {
        {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709",
         "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d",
         "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "84983e441c3bd26ebaae4aa1f95129e5e54670f1",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f",
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& v : vectors) {
        EXPECT_EQ(hex(sha1(v.input.data(), v.input.size())), v.sha1) << v.input.size();
        EXPECT_EQ(hex(sha256(v.input.data(), v.input.size())), v.sha256) << v.input.size();
    }
}

}  // namespace
}  // namespace wv::digest
