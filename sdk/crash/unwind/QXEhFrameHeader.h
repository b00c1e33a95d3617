#pragma once

// The search table of `.eh_frame_hdr`: the FDE that covers a PC, found by binary search over
// its sorted (initial location, FDE) pairs, both data-relative signed 32-bit values.
//
// Crash-time contract: async-signal-safe, no heap, no lock, no stdio. The header and the
// table are checked readable before they are read in place; a count that would run the table
// past the address space, an encoding other than the one the linkers write, or an FDE before
// `.eh_frame` gives false with a log line.

#include <cstdint>

namespace wv {

// The address of the FDE whose entry is the last one at or below `pc`; the caller still
// checks that the FDE's range covers the PC.
bool QXEhFrameHeaderFindFDE(uint64_t header, uint64_t ehFrame, uint64_t pc, uint64_t* fde);

}  // namespace wv
