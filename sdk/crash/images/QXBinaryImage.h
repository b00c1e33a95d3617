#pragma once

// The table of loaded images in the writable context, and its crash-time lookup.
//
// Crash-time contract for the lookups: async-signal-safe, no heap, no lock, no stdio. The
// table is read without locks while the loader's callbacks may write it: a slot is claimed
// by a compare-and-swap of its base before its size is stored, so a reader sees at worst a
// size of 0 and passes the slot by.

#include <link.h>

#include <cstdint>

#include "sdk/crash/context/QXBinaryImageNode.h"

namespace wv {

// Copies out the first node with base <= address < base + size. False for an out pointer
// below 4096, an address of 0 or a context that is not initialised.
bool QXBinaryImageSafeFindImageForAddress(uintptr_t address, QXBinaryImageNode* node);

// The node's unwind-information address is a real one (4096 or more).
bool QXBinaryImageHasCompactUnwindInfo(const QXBinaryImageNode* node);

// The node of an ELF object the loader reports (not at crash time): base at the ELF header,
// size to the end of the last executable segment, `.eh_frame_hdr` from PT_GNU_EH_FRAME and
// `.eh_frame` from the header's own pointer. False when the object has no executable segment
// or its header is not mapped.
bool QXBinaryImageNodeFromProgramHeaders(const dl_phdr_info* info, QXBinaryImageNode* node);

}  // namespace wv
