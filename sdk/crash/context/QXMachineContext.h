#pragma once

// A thread's registers in a layout of our own per architecture, filled from the ucontext_t a
// signal handler receives, and the access the unwinders need: PC, SP, FP, DWARF register
// numbers and the one-step frame-pointer unwind. Both layouts exist on every host so either
// can be examined; QXMachineContext is the running one.
//
// Crash-time contract: async-signal-safe, no heap, no lock, no stdio; a context below 4096 is
// absent, and stack memory is read only through QXUtilityReadMemory.

#include <ucontext.h>

#include <cstdint>

namespace wv {

// The order of the `registers` record.
struct QXMachineContextX86_64 {
    uint64_t rax, rbx, rcx, rdx, rdi, rsi, rbp, rsp;
    uint64_t r8, r9, r10, r11, r12, r13, r14, r15;
    uint64_t rip, rflags, cs, fs, gs;
};

struct QXMachineContextArm64 {
    uint64_t x[29];
    uint64_t fp, lr, sp, pc, cpsr;
};

#if defined(__x86_64__)
using QXMachineContext = QXMachineContextX86_64;
#elif defined(__aarch64__)
using QXMachineContext = QXMachineContextArm64;
#else
#error "The crash kit knows the registers of x86_64 and arm64 only."
#endif

// The DWARF column that holds the caller's PC: rip (16) on x86_64, lr (30) on arm64.
inline constexpr uint64_t kQXDwarfReturnAddressX86_64 = 16;
inline constexpr uint64_t kQXDwarfReturnAddressArm64 = 30;

bool QXMachineContextFromUContext(const ucontext_t* ucontext, QXMachineContext* context);

uint64_t QXMachineContextGetPC(const QXMachineContextX86_64* context);
uint64_t QXMachineContextGetSP(const QXMachineContextX86_64* context);
uint64_t QXMachineContextGetFP(const QXMachineContextX86_64* context);
bool QXMachineContextSetPC(QXMachineContextX86_64* context, uint64_t value);
bool QXMachineContextSetSP(QXMachineContextX86_64* context, uint64_t value);
bool QXMachineContextSetFP(QXMachineContextX86_64* context, uint64_t value);
// DWARF numbers 0-16 of the x86-64 ABI; anything else is refused with a warning.
uint64_t QXDwarfUnwindGetRegisterValue(const QXMachineContextX86_64* context, uint64_t number);
bool QXDwarfUnwindSetRegisterValue(QXMachineContextX86_64* context, uint64_t number,
                                   uint64_t value);

uint64_t QXMachineContextGetPC(const QXMachineContextArm64* context);
uint64_t QXMachineContextGetSP(const QXMachineContextArm64* context);
uint64_t QXMachineContextGetFP(const QXMachineContextArm64* context);
bool QXMachineContextSetPC(QXMachineContextArm64* context, uint64_t value);
bool QXMachineContextSetSP(QXMachineContextArm64* context, uint64_t value);
bool QXMachineContextSetFP(QXMachineContextArm64* context, uint64_t value);
// DWARF 0-30 are x0-x30 (29 fp, 30 lr), 31 is sp; the PC has no number of its own.
uint64_t QXDwarfUnwindGetRegisterValue(const QXMachineContextArm64* context, uint64_t number);
bool QXDwarfUnwindSetRegisterValue(QXMachineContextArm64* context, uint64_t number, uint64_t value);

// Room the unwind layer keeps for one walk inside the cursor (what it has read of the stack,
// which table pages it has found readable), so a walk needs few system calls and no memory
// beyond the cursor itself.
inline constexpr uint32_t kQXUnwindScratchSize = 8192 + 512;

// Where a stack walk stands.
template <class Context>
struct QXUnwindCursorOf {
    Context context;
    uint32_t frameCount;
    uint64_t lastPC;
    uint32_t repeatCount;
    // Set by a step through a signal frame (a CIE with 'S'): the frame it reached stopped at
    // the interrupted instruction, not after a call, so its PC is looked up as it is.
    uint8_t interrupted;
    alignas(8) uint8_t scratch[kQXUnwindScratchSize];  // the unwind layer's; zeroed by its init
};
using QXUnwindCursor = QXUnwindCursorOf<QXMachineContext>;

// One step up the frame-pointer chain: PC := [FP + 8], FP := [FP], SP := old FP + 16; nothing
// else changes. False (cursor untouched) when those 16 bytes cannot be read.
bool QXCompactUnwindBPFrame(QXUnwindCursorOf<QXMachineContextX86_64>* cursor);
bool QXCompactUnwindBPFrame(QXUnwindCursorOf<QXMachineContextArm64>* cursor);

}  // namespace wv
