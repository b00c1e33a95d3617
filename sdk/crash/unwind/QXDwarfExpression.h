#pragma once

// The DWARF expression machine of call-frame rules: a fixed 100-entry value stack, a small set
// of DW_OP operations, registers from the machine context being unwound (DWARF numbers 0-16)
// and memory through the safe read. Every step is logged at WARN.
//
// An expression in memory is an unsigned LEB128 length followed by that many opcode bytes.
// Its callers hand over only blocks they have checked lie inside their record; the machine
// never reads an operand past the block's end.
//
// Crash-time contract: async-signal-safe, no heap, no lock, no stdio.

#include <cstdint>

#include "sdk/crash/context/QXMachineContext.h"

namespace wv {

inline constexpr int kQXDwarfExpressionStackSize = 100;

struct QXDwarfExpressionMachine {
    uint64_t stack[kQXDwarfExpressionStackSize];
    // Next free entry; one past the last when full; null once the stack has been misused.
    uint64_t* stackPointer;
    const uint8_t* cursor;
    const uint8_t* end;
    const QXMachineContextX86_64* registers;
};

void QXDwarfExpressionStackInit(QXDwarfExpressionMachine* machine);
bool QXDwarfExpressionStackIsValid(const QXDwarfExpressionMachine* machine);
bool QXDwarfExpressionStackPush(QXDwarfExpressionMachine* machine, uint64_t value);
uint64_t QXDwarfExpressionStackPeek(QXDwarfExpressionMachine* machine);
uint64_t QXDwarfExpressionStackPop(QXDwarfExpressionMachine* machine);

bool QXDwarfExpressionMachineInit(QXDwarfExpressionMachine* machine, uint64_t expression,
                                  const QXMachineContextX86_64* context, uint64_t initialValue);
bool QXDwarfExpressionMachinePrepareForExecution(QXDwarfExpressionMachine* machine);
bool QXDwarfExpressionMachineIsFinished(const QXDwarfExpressionMachine* machine);
bool QXDwarfExpressionMachineExecuteNextOpcode(QXDwarfExpressionMachine* machine);
bool QXDwarfExpressionMachineGetResult(QXDwarfExpressionMachine* machine, uint64_t* result);

// The one entry the call-frame rules use: initial value 0 for a CFA expression, the CFA for a
// register rule. The result is the top of the stack when the expression ends.
bool QXDwarfEvalulateExpression(uint64_t expression, const QXMachineContextX86_64* context,
                                uint64_t initialValue, uint64_t* result);

}  // namespace wv
