#pragma once

// One loaded image as the crash-time code sees it. The table of these lives in the writable
// context, written by the loader callbacks and read lock-free at crash time.
//
// Meaning of the fields on ELF: `baseAddress` is the address of the ELF header, `size` runs
// from there to the end of the last executable segment, `ehFrame` is `.eh_frame` and
// `unwindInfo` is `.eh_frame_hdr`. On Mach-O (test images only): the Mach-O header, the
// `__TEXT` segment's size, `__eh_frame` and `__unwind_info`. The format is told apart by the
// magic at `baseAddress`.

#include <cstdint>

namespace wv {

struct QXBinaryImageNode {
    uint64_t baseAddress;  // 0 = a free slot; a claimed slot keeps its base after an unload
    uint64_t size;         // 0 = unloaded or not yet filled in: matches no address
    uint64_t ehFrame;
    uint64_t unwindInfo;
    uint64_t crashInfo;  // always 0 on ELF
};

inline constexpr uint32_t kQXBinaryImageNodeCount = 512;

}  // namespace wv
