#include "sdk/crash/unwind/QXDwarfUnwind.h"

#include <cstring>

#include "sdk/crash/context/QXContext.h"
#include "sdk/crash/context/QXSDKLog.h"
#include "sdk/crash/context/QXUtility.h"
#include "sdk/crash/unwind/QXDwarfExpression.h"
#include "sdk/crash/unwind/QXUnwindMemory.h"
#include "sdk/crash/unwind/QXUnwindReader.h"

namespace wv {
namespace {

// remember_state nests this deep at most; GCC's output never goes past two.
constexpr int kStateStackDepth = 8;

// The initial length, and the reader over the rest of the record. False when the length is 0,
// runs past the section's end, or (section end unknown) the record is not readable.
bool readRecord(uint64_t address, uint64_t sectionEnd, uint64_t* length, QXUnwindReader* body);

bool openRecord(uint64_t address, uint64_t sectionEnd, uint64_t* length, QXUnwindReader* body) {
    *length = 0;
    if (readRecord(address, sectionEnd, length, body)) return true;
    QXLogWarn("Error: record at %p runs past its section or cannot be read\n",
              reinterpret_cast<void*>(address));
    return false;
}

bool readRecord(uint64_t address, uint64_t sectionEnd, uint64_t* length, QXUnwindReader* body) {
    uint64_t headerLimit = sectionEnd;
    if (sectionEnd == kQXDwarfSectionEndUnknown) {
        if (!QXUnwindRangeIsReadable(address, 4)) return false;
        headerLimit = address + 12;
        uint32_t first;
        memcpy(&first, reinterpret_cast<const void*>(address), 4);
        if (first == 0xffffffffu && !QXUnwindRangeIsReadable(address, 12)) return false;
    }
    QXUnwindReader reader = QXUnwindReader::over(address, headerLimit);
    uint64_t value = reader.u32();
    if (value == 0xffffffffu) value = reader.u64();
    if (reader.failed) return false;
    *length = value;
    if (value == 0) return true;
    uint64_t start = reader.position();
    uint64_t end = start + value;
    if (end < start) return false;
    if (sectionEnd == kQXDwarfSectionEndUnknown) {
        if (!QXUnwindRangeIsReadable(start, value)) return false;
    } else if (end > sectionEnd) {
        return false;
    }
    *body = QXUnwindReader::over(start, end);
    return true;
}

bool QXDwarfParseAndProcessAugmentation(QXDwarfCIERecord* cie, QXUnwindReader* reader) {
    const char* augmentation = cie->augmentation;
    if (augmentation[0] == '\0') return true;
    if (augmentation[0] != 'z') {
        QXLogWarn("Error: Unimplemented: augmentation string %s\n", augmentation);
        return false;
    }
    uint64_t length = reader->uleb128();
    if (reader->failed || length > reader->remaining()) {
        QXLogWarn("Error: augmentation data runs past the CIE\n");
        return false;
    }
    const uint8_t* end = reader->cursor + length;
    QXUnwindReader data{reader->cursor, end, false};
    for (const char* letter = augmentation + 1; *letter != '\0'; ++letter) {
        switch (*letter) {
            case 'L':
                cie->lsdaEncoding = data.u8();
                break;
            case 'P': {
                cie->personalityEncoding = data.u8();
                cie->personality = data.encodedPointer(cie->personalityEncoding);
                if (cie->personality == kQXUnwindReadFailed) {
                    QXLogWarn("Error: Found an invalid start address\n");
                    return false;
                }
                break;
            }
            case 'R':
                cie->fdePointerEncoding = data.u8();
                break;
            case 'S':
                cie->signalFrame = 1;
                break;
            default:
                QXLogWarn("Error: Unhandled augmentation string entry %c\n", *letter);
                return false;
        }
        if (data.failed) return false;
    }
    // Letters this reader does not know may be followed by data it skips with the length.
    reader->cursor = end;
    return true;
}

bool validRegister(uint64_t reg, const QXDwarfRunContext& run, const char* message) {
    if (reg < run.dialect.registerCount) return true;
    if (!run.dialect.extended) QXLogWarn("%s\n", message);
    return false;
}

// On ELF a rule for a register the context does not hold (a vector register) is left out;
// the Mach-O set refuses it.
bool setRule(QXDwarfState* state, uint64_t reg, QXDwarfRuleKind kind, uint64_t value,
             const QXDwarfRunContext& run, const char* message) {
    if (!validRegister(reg, run, message)) return run.dialect.extended;
    state->registers[reg] = {kind, value};
    return true;
}

// A block operand (expression): its address, after checking it lies wholly in the
// instructions.
bool takeBlock(QXUnwindReader* reader, uint64_t* address) {
    *address = reader->position();
    uint64_t length = reader->uleb128();
    return !reader->failed && reader->skip(length);
}

struct Runner {
    QXUnwindReader reader;
    const QXDwarfCIERecord* cie;
    QXDwarfState* state;
    int64_t target;
    const QXDwarfRunContext& run;
    int64_t location = 0;
    QXDwarfState saved[kStateStackDepth];  // only entries below depth are meaningful
    int depth = 0;

    Runner(QXUnwindReader r, const QXDwarfCIERecord* c, QXDwarfState* s, int64_t t,
           const QXDwarfRunContext& context)
        : reader(r), cie(c), state(s), target(t), run(context) {}

    int64_t factored(int64_t value) const { return value * cie->dataAlignmentFactor; }
    bool advance(uint64_t delta) {
        location += static_cast<int64_t>(delta * cie->codeAlignmentFactor);
        return true;
    }
    QXDwarfRegisterRule initialRule(uint64_t reg) const {
        return run.initialRules ? run.initialRules->registers[reg] : QXDwarfRegisterRule{0, 0};
    }

    bool step(uint8_t opcode);
    bool stepExtended(uint8_t opcode);
};

bool Runner::step(uint8_t opcode) {
    uint8_t high = opcode & 0xc0;
    uint8_t low = opcode & 0x3f;
    if (high == 0x40) {
        QXLogWarn("DW_CFA_advance_loc %u\n", unsigned(low));
        return advance(low);
    }
    if (high == 0x80) {
        uint64_t offset = reader.uleb128();
        QXLogWarn("DW_CFA_offset %u, %lld\n", unsigned(low), (long long)factored(offset));
        return !reader.failed &&
               setRule(state, low, QXDwarfRuleOffset, uint64_t(factored(offset)), run,
                       "Error: Found an invalid DW_CFA_offset register number");
    }
    if (high == 0xc0) {
        if (!run.dialect.extended) {
            QXLogWarn("Error: Unimplemented DWARF instruction with operand 0x%x\n",
                      unsigned(opcode));
            return false;
        }
        QXLogWarn("DW_CFA_restore %u\n", unsigned(low));
        if (low < run.dialect.registerCount) state->registers[low] = initialRule(low);
        return true;
    }
    switch (opcode) {
        case 0x00:
            QXLogWarn("DW_CFA_nop\n");
            return true;
        case 0x01: {
            uint64_t address = reader.encodedPointer(cie->fdePointerEncoding);
            QXLogWarn("DW_CFA_set_loc %lu\n", static_cast<unsigned long>(address));
            if (reader.failed) return false;
            location = static_cast<int64_t>(address - run.initialLocation);
            return true;
        }
        case 0x02: {
            uint64_t delta = reader.u8();
            QXLogWarn("DW_CFA_advance_loc1 %lld\n", (long long)delta);
            return !reader.failed && advance(delta);
        }
        case 0x03: {
            uint64_t delta = reader.u16();
            QXLogWarn("DW_CFA_advance_loc2 %lld\n", (long long)delta);
            return !reader.failed && advance(delta);
        }
        case 0x04: {
            uint64_t delta = reader.u32();
            QXLogWarn("DW_CFA_advance_loc4 %lld\n", (long long)delta);
            return !reader.failed && advance(delta);
        }
        case 0x08: {
            uint64_t reg = reader.uleb128();
            QXLogWarn("DW_CFA_same_value %llu\n", (unsigned long long)reg);
            return !reader.failed &&
                   setRule(state, reg, QXDwarfRuleSame, 0, run,
                           "Error: Found an invalid DW_CFA_same_value register number");
        }
        case 0x09: {
            uint64_t reg = reader.uleb128();
            uint64_t other = reader.uleb128();
            QXLogWarn("DW_CFA_register %llu %llu\n", (unsigned long long)reg,
                      (unsigned long long)other);
            if (reader.failed) return false;
            if (other >= run.dialect.registerCount) {
                QXLogWarn("Error: Found an invalid DW_CFA_register value\n");
                return false;
            }
            return setRule(state, reg, QXDwarfRuleRegister, other, run,
                           "Error: Found an invalid DW_CFA_register number");
        }
        case 0x0c: {
            uint64_t reg = reader.uleb128();
            uint64_t offset = reader.uleb128();
            QXLogWarn("DW_CFA_def_cfa %llu, %lld\n", (unsigned long long)reg, (long long)offset);
            if (reader.failed) return false;
            if (reg >= run.dialect.registerCount) {
                QXLogWarn("Error: Found an invalid DW_CFA_def_cfa register number\n");
                return false;
            }
            // A register-based CFA replaces an expression set before it.
            state->cfaRegister = reg;
            state->cfaOffset = offset;
            state->cfaExpression = 0;
            return true;
        }
        case 0x0d: {
            uint64_t reg = reader.uleb128();
            QXLogWarn("DW_CFA_def_cfa_register %llu\n", (unsigned long long)reg);
            if (reader.failed) return false;
            if (reg >= run.dialect.registerCount) {
                QXLogWarn("Error: Found an invalid DW_CFA_def_cfa_register register number\n");
                return false;
            }
            state->cfaRegister = reg;
            return true;
        }
        case 0x0e: {
            uint64_t offset = reader.uleb128();
            QXLogWarn("DW_CFA_def_cfa_offset %lld\n", (long long)offset);
            if (reader.failed) return false;
            state->cfaOffset = offset;
            return true;
        }
        case 0x0f: {
            uint64_t block = 0;
            bool ok = takeBlock(&reader, &block);
            QXLogWarn("DW_CFA_def_cfa_expression %llu\n", (unsigned long long)block);
            if (!ok) return false;
            state->cfaRegister = kQXDwarfCFAExpressionRegister;
            state->cfaExpression = block;
            return true;
        }
        case 0x10:
        case 0x16: {
            uint64_t reg = reader.uleb128();
            uint64_t block = 0;
            bool ok = !reader.failed && takeBlock(&reader, &block);
            bool value = opcode == 0x16;
            if (value) {
                QXLogWarn("DW_CFA_val_expression %llu %llu\n", (unsigned long long)reg,
                          (unsigned long long)block);
            } else {
                QXLogWarn("DW_CFA_expression %llu %llu\n", (unsigned long long)reg,
                          (unsigned long long)block);
            }
            if (!ok) return false;
            return setRule(state, reg, value ? QXDwarfRuleValExpression : QXDwarfRuleExpression,
                           block, run,
                           value ? "Error: Found an invalid DW_CFA_val_expression register number"
                                 : "Error: Found an invalid DW_CFA_expression register number");
        }
        default:
            break;
    }
    bool known = (opcode >= 0x05 && opcode <= 0x07) || opcode == 0x0a || opcode == 0x0b ||
                 (opcode >= 0x11 && opcode <= 0x15) || (opcode >= 0x2d && opcode <= 0x2f);
    if (!known) {
        QXLogWarn("Error: Unrecognized DWARF instruction 0x%x\n", unsigned(opcode));
        return false;
    }
    if (!run.dialect.extended) {
        QXLogWarn("Error: Unimplemented DWARF instruction 0x%x\n", unsigned(opcode));
        return false;
    }
    return stepExtended(opcode);
}

bool Runner::stepExtended(uint8_t opcode) {
    switch (opcode) {
        case 0x05:
        case 0x11:
        case 0x2f: {
            uint64_t reg = reader.uleb128();
            int64_t offset;
            if (opcode == 0x05) {
                offset = factored(static_cast<int64_t>(reader.uleb128()));
            } else if (opcode == 0x11) {
                offset = factored(reader.sleb128());
            } else {
                offset = -factored(static_cast<int64_t>(reader.uleb128()));
            }
            QXLogWarn("DW_CFA_offset_extended 0x%x %llu, %lld\n", unsigned(opcode),
                      (unsigned long long)reg, (long long)offset);
            return !reader.failed &&
                   setRule(state, reg, QXDwarfRuleOffset, uint64_t(offset), run, "");
        }
        case 0x06: {
            uint64_t reg = reader.uleb128();
            QXLogWarn("DW_CFA_restore_extended %llu\n", (unsigned long long)reg);
            if (reader.failed) return false;
            if (reg < run.dialect.registerCount) state->registers[reg] = initialRule(reg);
            return true;
        }
        case 0x07: {
            uint64_t reg = reader.uleb128();
            QXLogWarn("DW_CFA_undefined %llu\n", (unsigned long long)reg);
            return !reader.failed && setRule(state, reg, QXDwarfRuleUndefined, 0, run, "");
        }
        case 0x0a:
            QXLogWarn("DW_CFA_remember_state\n");
            if (depth == kStateStackDepth) {
                QXLogWarn("Error: DW_CFA_remember_state nested too deeply\n");
                return false;
            }
            saved[depth++] = *state;
            return true;
        case 0x0b:
            QXLogWarn("DW_CFA_restore_state\n");
            if (depth == 0) {
                QXLogWarn("Error: DW_CFA_restore_state without a remembered state\n");
                return false;
            }
            // The whole row comes back, the CFA rule with the register rules.
            *state = saved[--depth];
            return true;
        case 0x12: {
            uint64_t reg = reader.uleb128();
            int64_t offset = factored(reader.sleb128());
            QXLogWarn("DW_CFA_def_cfa_sf %llu, %lld\n", (unsigned long long)reg, (long long)offset);
            if (reader.failed) return false;
            if (reg >= run.dialect.registerCount) {
                QXLogWarn("Error: Found an invalid DW_CFA_def_cfa register number\n");
                return false;
            }
            state->cfaRegister = reg;
            state->cfaOffset = uint64_t(offset);
            state->cfaExpression = 0;
            return true;
        }
        case 0x13: {
            int64_t offset = factored(reader.sleb128());
            QXLogWarn("DW_CFA_def_cfa_offset_sf %lld\n", (long long)offset);
            if (reader.failed) return false;
            state->cfaOffset = uint64_t(offset);
            return true;
        }
        case 0x14:
        case 0x15: {
            uint64_t reg = reader.uleb128();
            int64_t offset = opcode == 0x14 ? factored(static_cast<int64_t>(reader.uleb128()))
                                            : factored(reader.sleb128());
            QXLogWarn("DW_CFA_val_offset %llu, %lld\n", (unsigned long long)reg, (long long)offset);
            return !reader.failed &&
                   setRule(state, reg, QXDwarfRuleOffsetFromCFA, uint64_t(offset), run, "");
        }
        case 0x2e: {
            uint64_t size = reader.uleb128();
            QXLogWarn("DW_CFA_GNU_args_size %llu\n", (unsigned long long)size);
            return !reader.failed;
        }
        default:
            // 0x2d: GNU_window_save, meaningful on SPARC only.
            QXLogWarn("Error: Unimplemented DWARF instruction 0x%x\n", unsigned(opcode));
            return false;
    }
}

}  // namespace

bool QXDwarfParseCIERecord(QXDwarfCIERecord* cie, uint64_t address, uint64_t sectionEnd) {
    if (cie == nullptr || address < kQXInvalidAddressLimit) return false;
    memset(cie, 0, sizeof(*cie));
    QXUnwindReader reader{};
    uint64_t length = 0;
    if (!openRecord(address, sectionEnd, &length, &reader)) return false;
    if (length == 0) {
        QXLogWarn("Error: CIE length invalid\n");
        return false;
    }
    cie->length = length;
    if (reader.u32() != 0) QXLogWarn("Error: CIE flag not found\n");
    cie->version = reader.u8();
    if (cie->version != 1 && cie->version != 3) {
        QXLogWarn("Error: CIE version %u unsupported\n", unsigned(cie->version));
    }
    cie->augmentation = reader.string();
    if (reader.failed) {
        QXLogWarn("Error: CIE truncated\n");
        return false;
    }
    cie->codeAlignmentFactor = reader.uleb128();
    cie->dataAlignmentFactor = reader.sleb128();
    if (cie->version == 1) {
        cie->returnAddressRegister = reader.u8();
    } else if (cie->version == 3) {
        cie->returnAddressRegister = reader.uleb128();
    } else {
        QXLogWarn("Error: CIE version %u unsupported\n", unsigned(cie->version));
        return false;
    }
    if (reader.failed) {
        QXLogWarn("Error: CIE truncated\n");
        return false;
    }
    if (!QXDwarfParseAndProcessAugmentation(cie, &reader)) return false;
    cie->instructions = reader.position();
    cie->instructionsLength = static_cast<uint32_t>(reader.remaining());
    return true;
}

bool QXDwarfParseFDERecord(QXDwarfFDERecord* fde, bool parseCIE, QXDwarfCIERecord* cie,
                           uint64_t address, uint64_t sectionStart, uint64_t sectionEnd) {
    if (fde == nullptr || cie == nullptr || address < kQXInvalidAddressLimit) return false;
    memset(fde, 0, sizeof(*fde));
    QXUnwindReader reader{};
    uint64_t length = 0;
    if (!openRecord(address, sectionEnd, &length, &reader)) return false;
    if (length == 0) {
        QXLogWarn("Error: FDE has zero length\n");
        return false;
    }
    fde->length = length;
    uint64_t pointerField = reader.position();
    fde->ciePointer = reader.u32();
    if (reader.failed || fde->ciePointer == 0) {
        QXLogWarn("Error: CIE offset invalid\n");
        return false;
    }
    if (parseCIE) {
        uint64_t cieAddress = pointerField - fde->ciePointer;
        // A CIE comes before the FDEs that use it, inside the section.
        bool inside =
            fde->ciePointer <= pointerField && cieAddress >= sectionStart && cieAddress < address;
        if (!inside || !QXDwarfParseCIERecord(cie, cieAddress, sectionEnd)) {
            QXLogWarn("Error: Unable to parse CIE record\n");
            return false;
        }
    }
    if (!QXDwarfCIEIsValid(cie)) {
        QXLogWarn("Error: CIE invalid\n");
        return false;
    }
    fde->initialLocation = reader.encodedPointer(cie->fdePointerEncoding);
    if (fde->initialLocation == kQXUnwindReadFailed) {
        QXLogWarn("Error: Found an invalid start address\n");
        return false;
    }
    // The range is a length: its format only, never an application or an indirection.
    fde->addressRange = reader.encodedPointer(cie->fdePointerEncoding & 0x0f);
    if (fde->addressRange == kQXUnwindReadFailed) {
        QXLogWarn("Error: Found an invalid address range\n");
        return false;
    }
    if (QXDwarfCIEHasAugmentationData(cie)) {
        uint64_t skip = reader.uleb128();
        reader.skip(skip);
    }
    if (reader.failed) {
        QXLogWarn("Error: FDE truncated\n");
        return false;
    }
    fde->instructions = reader.position();
    fde->instructionsLength = static_cast<uint32_t>(reader.remaining());
    return true;
}

bool QXDwarfInitFDEAtOffset(QXDwarfCIEFDEPair* pair, uint64_t ehFrame, uint64_t offset,
                            uint64_t sectionEnd) {
    if (pair == nullptr || ehFrame == 0 || offset == 0) return false;
    if (ehFrame + offset < ehFrame || ehFrame + offset >= sectionEnd) {
        QXLogWarn("Error: FDE offset %lx lies past the section\n",
                  static_cast<unsigned long>(offset));
        return false;
    }
    return QXDwarfParseFDERecord(&pair->fde, true, &pair->cie, ehFrame + offset, ehFrame,
                                 sectionEnd);
}

bool QXDwarfCIEIsValid(const QXDwarfCIERecord* cie) {
    return cie != nullptr && cie->length != 0 && (cie->version == 1 || cie->version == 3);
}

bool QXDwarfCIEHasAugmentationData(const QXDwarfCIERecord* cie) {
    return cie != nullptr && cie->augmentation != nullptr && cie->augmentation[0] == 'z';
}

bool QXDwarfInstructionsEnumerate(uint64_t instructions, uint64_t length,
                                  const QXDwarfCIERecord* cie, QXDwarfState* state, int64_t target,
                                  const QXDwarfRunContext& run) {
    if (cie == nullptr || state == nullptr) return false;
    if (length == 0) return true;
    if (instructions < kQXInvalidAddressLimit || instructions + length < instructions) return false;
    Runner runner{QXUnwindReader::over(instructions, instructions + length), cie, state, target,
                  run};
    while (runner.reader.remaining() > 0 && runner.location <= target) {
        uint8_t opcode = runner.reader.u8();
        if (!runner.step(opcode)) {
            QXLogWarn("Error: Failed to execute dwarf instruction 0x%x\n", unsigned(opcode));
            return false;
        }
    }
    return true;
}

bool QXDwarfRunToPC(const QXDwarfCIEFDEPair* pair, uint64_t pc, QXDwarfDialect dialect,
                    QXDwarfState* state) {
    if (pair == nullptr || state == nullptr) return false;
    memset(state, 0, sizeof(*state));
    QXDwarfRunContext cieRun{dialect, pair->fde.initialLocation, nullptr};
    if (!QXDwarfInstructionsEnumerate(pair->cie.instructions, pair->cie.instructionsLength,
                                      &pair->cie, state, INT64_MAX, cieRun)) {
        QXLogWarn("Error: Unable to run CIE instructions\n");
        return false;
    }
    int64_t target = static_cast<int64_t>(pc - pair->fde.initialLocation);
    if (target < 0) {
        QXLogWarn("Error: The FDE pcOffset value cannot be negative\n");
        return false;
    }
    QXDwarfState initial = *state;
    QXDwarfRunContext fdeRun{dialect, pair->fde.initialLocation, &initial};
    if (!QXDwarfInstructionsEnumerate(pair->fde.instructions, pair->fde.instructionsLength,
                                      &pair->cie, state, target, fdeRun)) {
        QXLogWarn("Error: Unable to run FDE instructions\n");
        return false;
    }
    return true;
}

bool QXDwarfUnwindComputeRegisters(const QXDwarfCIEFDEPair* pair, QXUnwindCursor* cursor,
                                   QXDwarfDialect dialect) {
    if (pair == nullptr || !QXIsValidPointer(cursor)) return false;
    QXDwarfState state;
    if (!QXDwarfRunToPC(pair, QXMachineContextGetPC(&cursor->context), dialect, &state)) {
        return false;
    }
    uint64_t cfa = 0;
    if (!QXDwarfGetCFA(&state, &cursor->context, &cfa)) {
        QXLogWarn("Error: failed to get CFA\n");
        return false;
    }
    QXMachineContext next;
    if (!QXDwarfUnwindAssignRegisters(&state, &cursor->context, cfa,
                                      pair->cie.returnAddressRegister, &next)) {
        QXLogError("Error: Unable to assign DWARF registers\n");
        return false;
    }
    cursor->context = next;
    cursor->interrupted = pair->cie.signalFrame != 0;
    return true;
}

bool QXDwarfGetCFA(const QXDwarfState* state, const QXMachineContext* context, uint64_t* cfa) {
    if (!QXIsValidPointer(state) || !QXIsValidPointer(context) || !QXIsValidPointer(cfa)) {
        QXLogWarn("Error: invalid input\n");
        return false;
    }
    if (state->cfaExpression != 0) {
        if (!QXDwarfEvalulateExpression(state->cfaExpression, context, 0, cfa)) {
            QXLogWarn("Error: failed to compute CFA expression\n");
            return false;
        }
        return true;
    }
    *cfa = QXDwarfUnwindGetRegisterValue(context, state->cfaRegister) + state->cfaOffset;
    return true;
}

bool QXDwarfUnwindAssignRegisters(const QXDwarfState* state, const QXMachineContext* context,
                                  uint64_t cfa, uint64_t returnAddressRegister,
                                  QXMachineContext* out) {
    if (!QXIsValidPointer(state) || !QXIsValidPointer(context) || !QXIsValidPointer(out)) {
        QXLogError("Error: input invalid\n");
        return false;
    }
    QXMachineContext next = *context;
    // The caller's PC is whatever the return-address column holds.
    bool outermost = false;
    for (uint64_t reg = 0; reg < 17; ++reg) {
        const QXDwarfRegisterRule& rule = state->registers[reg];
        if (rule.kind == QXDwarfRuleSame && reg != returnAddressRegister) continue;
        if (rule.kind == QXDwarfRuleUndefined) {
            if (reg == returnAddressRegister) outermost = true;
            continue;
        }
        uint64_t value = QXDwarfGetSavedRegister(context, cfa, rule.kind, rule.value);
        if (rule.kind == QXDwarfRuleSame) value = QXDwarfUnwindGetRegisterValue(context, reg);
        uint64_t destination = reg == returnAddressRegister ? 16 : reg;
        if (!QXDwarfUnwindSetRegisterValue(&next, destination, value)) {
            QXLogWarn("Error: Unable to restore register value\n");
            return false;
        }
    }
    if (!QXDwarfUnwindSetRegisterValue(&next, 7, cfa)) {
        QXLogWarn("Error: Unable to restore SP value\n");
        return false;
    }
    if (outermost) {
        // The outermost frame (a thread's start): a PC of 0 ends the walk without an error.
        QXMachineContextSetPC(&next, 0);
        *out = next;
        return true;
    }
    if (QXMachineContextGetSP(&next) == QXMachineContextGetSP(context)) {
        QXLogWarn("Error: Stack pointer hasn't changed\n");
        return false;
    }
    if (QXMachineContextGetPC(&next) == QXMachineContextGetPC(context)) {
        QXLogWarn("Error: PC hasn't changed\n");
        return false;
    }
    *out = next;
    return true;
}

uint64_t QXDwarfGetSavedRegister(const QXMachineContext* context, uint64_t cfa, uint32_t kind,
                                 uint64_t value) {
    QXLogWarn("Getting register %x\n", unsigned(kind));
    uint64_t result = 0;
    switch (kind) {
        case QXDwarfRuleOffset:
            if (!QXUnwindReadMemory(cfa + value, &result, 8)) {
                QXLogWarn("Error: Unable to read CFA value\n");
                return 0;
            }
            return result;
        case QXDwarfRuleOffsetFromCFA:
            return cfa + value;
        case QXDwarfRuleRegister:
            return QXDwarfUnwindGetRegisterValue(context, value);
        case QXDwarfRuleExpression: {
            uint64_t address;
            if (!QXDwarfEvalulateExpression(value, context, cfa, &address)) {
                QXLogWarn("Error: unable to evaluate expression\n");
                return 0;
            }
            if (!QXUnwindReadMemory(address, &result, 8)) {
                QXLogWarn("Error: Unable to read memory computed from expression\n");
                return 0;
            }
            return result;
        }
        case QXDwarfRuleValExpression:
            if (!QXDwarfEvalulateExpression(value, context, cfa, &result)) {
                QXLogWarn("Error: unable to evaluate expression\n");
                return 0;
            }
            return result;
        default:
            QXLogWarn("Error: Unrecognized register save location 0x%x\n", unsigned(kind));
            return 0;
    }
}

}  // namespace wv
