#pragma once

// The stack walk's driver: a cursor that starts from a thread's registers and, one call at a
// time, stands on the calling frame. Each step tries the unwind tables of the image holding
// the PC (on ELF `.eh_frame_hdr` and `.eh_frame`; on Mach-O `__unwind_info` and its DWARF
// fallback), then the frame-pointer chain, with a stack scan for the first step only.
//
// Crash-time contract: async-signal-safe, no heap, no lock, no stdio. Stack memory is read
// through QXUtilityReadMemory; an address below 4096 counts as absent. Images are found in
// the table of the writable context (QXBinaryImage.h).

#include <cstdint>

#include "sdk/crash/context/QXMachineContext.h"

namespace wv {

// The walk ends after this many successful steps, whatever the stack holds (a cycle of
// frame pointers, a corrupt stack).
inline constexpr uint32_t kQXUnwindMaximumFrames = 600000;

// False for a cursor below 4096; otherwise the cursor is zeroed and the context copied in.
bool QXUnwindInit(QXUnwindCursor* cursor, QXMachineContext context);
// True when the cursor now stands on a frame; false ends the walk. The first call only
// validates the starting frame, so the starting PC is the first one reported.
bool QXUnwindNextFrame(QXUnwindCursor* cursor);

uint64_t QXUnwindGetPC(const QXUnwindCursor* cursor);
uint64_t QXUnwindGetSP(const QXUnwindCursor* cursor);
// How many immediately preceding steps gave this same PC (a recursion or a cycle).
uint32_t QXUnwindGetRepeatCount(const QXUnwindCursor* cursor);
// Cursor, PC and SP all at 4096 or above.
bool QXUnwindIsValid(const QXUnwindCursor* cursor);

// The strategies after the image's own tables, exposed for the driver's tests.
bool QXUnwindWithFramePointer(QXUnwindCursor* cursor, bool firstStep);
bool QXUnwindStackScan(QXUnwindCursor* cursor);
// The first word from `start` (always examined) up to `end` that lies in a known image.
bool QXUnwindFirstExecutableAddress(uint64_t start, uint64_t end, uint64_t* result);

}  // namespace wv
