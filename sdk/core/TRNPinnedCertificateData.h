#pragma once

#include <cstdint>

namespace wv {

// The DER bytes of the pinned public roots, as their publishers issued them. Of the roots
// the kit was made to pin, these two are the ones a Debian system still carries.
extern const uint8_t kEntrustRootCertificationAuthority[1173];
extern const uint8_t kDigiCertHighAssuranceEVRootCA[969];

}  // namespace wv
