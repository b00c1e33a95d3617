#pragma once

// Compact unwind information (`__unwind_info` of a Mach-O image, x86-64 encodings): the lookup
// of the encoding that covers a PC through the first-level index and a compressed
// second-level page, and the register computation for frame-based, frameless (immediate and
// indirect size) and DWARF-mode encodings. Regular second-level pages and every other mode
// are refused, so the driver falls back on the frame pointer.
//
// Crash-time contract: async-signal-safe, no heap, no lock, no stdio. The header is copied
// through the safe read; each table (index, page, encodings) is checked readable before it
// is read in place, and every index taken from the data is checked against its count.

#include <cstdint>

#include "sdk/crash/context/QXMachineContext.h"

namespace wv {

struct QXCompactUnwindContext {
    uint64_t unwindInfo;
    uint64_t ehFrame;
    uint64_t loadAddress;
    // version, common encodings offset and count, personalities offset and count, index
    // offset and count
    uint32_t header[7];
    uint32_t functionOffset;
    uint32_t pageOffset;
    uint32_t lsdaOffset;  // kept, not used
    uint32_t nextFunctionOffset;
};

struct QXCompactUnwindResult {
    uint32_t encoding;
    uint64_t functionStart;
    uint64_t functionEnd;  // exclusive
};

bool QXCompactUnwindInit(QXCompactUnwindContext* context, uint64_t unwindInfo, uint64_t ehFrame,
                         uint64_t loadAddress);
bool QXCompactUnwindLookupAndCompute(QXCompactUnwindContext* context, QXUnwindCursor* cursor);
bool QXCompactUnwindLookup(QXCompactUnwindContext* context, uint64_t pc,
                           QXCompactUnwindResult* result);
bool QXCompactUnwindComputeRegisters(QXCompactUnwindContext* context,
                                     const QXCompactUnwindResult* result, QXUnwindCursor* cursor);

// The register computation's parts, for tests of the encodings.
bool QXCompactUnwindFrameless(uint32_t encoding, QXUnwindCursor* cursor, uint64_t functionStart,
                              bool indirect);
bool QXCompactUnwindComputeStackSize(uint32_t encoding, uint64_t functionStart, bool indirect,
                                     uint64_t* size);
// Up to six indices into the registers not yet taken; false for a count of 7.
bool QXCompactUnwindDecompressPermutation(uint32_t count, uint32_t permutation,
                                          uint32_t indices[6]);
// Compact register numbers (1 rbx, 2 r12, 3 r13, 4 r14, 5 r15, 6 rbp) from the indices.
bool QXCompactUnwindRemapRegisters(uint32_t count, const uint32_t indices[6],
                                   uint32_t registers[6]);
bool QXCompactUnwindDwarfFrame(QXCompactUnwindContext* context, uint32_t offset,
                               QXUnwindCursor* cursor);

}  // namespace wv
