#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace wv::digest {

using Sha1 = std::array<uint8_t, 20>;
using Sha256 = std::array<uint8_t, 32>;

// FIPS 180-4 digests through GLib. Lengths are size_t all the way down: an input of
// 4 GiB or more is hashed whole, never cut to a 32-bit count.
Sha1 sha1(const void* bytes, size_t length);
Sha256 sha256(const void* bytes, size_t length);

}  // namespace wv::digest
