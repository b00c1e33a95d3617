#pragma once

// DWARF call-frame information: the CIE and FDE records of an eh_frame section, the
// instruction runner that builds the rule table up to a PC, and the rules' application to a
// machine context.
//
// Two dialects share the runner. Mach-O keeps the small set of instructions its toolchain
// emits and refuses the rest. ELF also carries out what GCC and glibc emit in nearly every
// function (remember/restore state, restore, undefined, the extended and signed-factored
// forms, val_offset, GNU_args_size); without them every C library frame would fall back on
// a stack scan.
//
// Section data is read in place, bounded by the record's own length and by the section's end
// where the caller knows it; a record whose end is unknown is checked readable before it is
// parsed. Stack memory is read through the safe read.
//
// Crash-time contract: async-signal-safe, no heap, no lock, no stdio.

#include <cstdint>

#include "sdk/crash/context/QXMachineContext.h"

namespace wv {

// Rules are kept for DWARF numbers below this; arm64 needs 0-31 (x0-x30 and sp).
inline constexpr uint32_t kQXDwarfMaximumRegisters = 32;
// The end of a section whose size nobody recorded: each record is then checked readable.
inline constexpr uint64_t kQXDwarfSectionEndUnknown = ~uint64_t(0);

struct QXDwarfDialect {
    uint32_t registerCount;  // DWARF numbers at or above this are refused (or, on ELF, ignored)
    bool extended;           // the ELF instruction set
};

inline constexpr QXDwarfDialect kQXDwarfDialectMachO{17, false};
inline constexpr QXDwarfDialect kQXDwarfDialectElf{17, true};
inline constexpr QXDwarfDialect kQXDwarfDialectElfArm64{32, true};

struct QXDwarfCIERecord {
    uint64_t length;
    uint8_t version;
    const char* augmentation;
    uint8_t fdePointerEncoding;
    uint8_t lsdaEncoding;
    uint8_t personalityEncoding;
    uint64_t personality;
    uint64_t codeAlignmentFactor;
    int64_t dataAlignmentFactor;
    uint64_t returnAddressRegister;
    uint8_t signalFrame;
    uint32_t instructionsLength;
    uint64_t instructions;
};

struct QXDwarfFDERecord {
    uint64_t length;
    uint32_t ciePointer;
    uint64_t initialLocation;
    uint64_t addressRange;
    uint32_t instructionsLength;
    uint64_t instructions;
};

struct QXDwarfCIEFDEPair {
    QXDwarfCIERecord cie;
    QXDwarfFDERecord fde;
};

enum QXDwarfRuleKind : uint32_t {
    QXDwarfRuleSame = 0,           // keeps its value
    QXDwarfRuleOffset = 1,         // saved at CFA + value
    QXDwarfRuleOffsetFromCFA = 2,  // is CFA + value (ELF only)
    QXDwarfRuleRegister = 3,       // held in register number value
    QXDwarfRuleExpression = 4,     // saved at the address the expression at value computes
    QXDwarfRuleValExpression = 5,  // is what the expression at value computes
    QXDwarfRuleUndefined = 6,      // lost; on the return-address column: the outermost frame
};

struct QXDwarfRegisterRule {
    uint32_t kind;
    uint64_t value;
};

// The CFA register 17 marks a CFA given by an expression.
inline constexpr uint64_t kQXDwarfCFAExpressionRegister = 17;

struct QXDwarfState {
    uint64_t cfaRegister;
    uint64_t cfaOffset;  // two's complement: the signed-factored forms can make it negative
    uint64_t cfaExpression;
    QXDwarfRegisterRule registers[kQXDwarfMaximumRegisters];
};

// What the runner needs beyond the instructions themselves.
struct QXDwarfRunContext {
    QXDwarfDialect dialect;
    uint64_t initialLocation;          // the FDE's, for DW_CFA_set_loc
    const QXDwarfState* initialRules;  // after the CIE's instructions, for DW_CFA_restore
};

bool QXDwarfParseCIERecord(QXDwarfCIERecord* cie, uint64_t address,
                           uint64_t sectionEnd = kQXDwarfSectionEndUnknown);
// The CIE must lie in [sectionStart, the FDE).
bool QXDwarfParseFDERecord(QXDwarfFDERecord* fde, bool parseCIE, QXDwarfCIERecord* cie,
                           uint64_t address, uint64_t sectionStart = 0,
                           uint64_t sectionEnd = kQXDwarfSectionEndUnknown);
bool QXDwarfInitFDEAtOffset(QXDwarfCIEFDEPair* pair, uint64_t ehFrame, uint64_t offset,
                            uint64_t sectionEnd = kQXDwarfSectionEndUnknown);
bool QXDwarfCIEIsValid(const QXDwarfCIERecord* cie);
bool QXDwarfCIEHasAugmentationData(const QXDwarfCIERecord* cie);

// Runs instructions while the location is at most `target`: an advance that lands exactly on
// the target still runs what follows it, so the row at the PC itself counts.
bool QXDwarfInstructionsEnumerate(uint64_t instructions, uint64_t length,
                                  const QXDwarfCIERecord* cie, QXDwarfState* state, int64_t target,
                                  const QXDwarfRunContext& run);
// The rule table at `pc` (absolute): the CIE's instructions, then the FDE's up to the PC.
bool QXDwarfRunToPC(const QXDwarfCIEFDEPair* pair, uint64_t pc, QXDwarfDialect dialect,
                    QXDwarfState* state);

bool QXDwarfUnwindComputeRegisters(const QXDwarfCIEFDEPair* pair, QXUnwindCursor* cursor,
                                   QXDwarfDialect dialect = kQXDwarfDialectMachO);
bool QXDwarfGetCFA(const QXDwarfState* state, const QXMachineContext* context, uint64_t* cfa);
bool QXDwarfUnwindAssignRegisters(const QXDwarfState* state, const QXMachineContext* context,
                                  uint64_t cfa, uint64_t returnAddressRegister,
                                  QXMachineContext* out);
uint64_t QXDwarfGetSavedRegister(const QXMachineContext* context, uint64_t cfa, uint32_t kind,
                                 uint64_t value);

}  // namespace wv
