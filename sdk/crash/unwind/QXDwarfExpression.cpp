#include "sdk/crash/unwind/QXDwarfExpression.h"

#include <cstring>

#include "sdk/crash/context/QXContext.h"
#include "sdk/crash/context/QXSDKLog.h"
#include "sdk/crash/context/QXUtility.h"
#include "sdk/crash/unwind/QXUnwindMemory.h"
#include "sdk/crash/unwind/QXUnwindReader.h"

namespace wv {
namespace {

uint64_t* stackEnd(QXDwarfExpressionMachine* machine) {
    return machine->stack + kQXDwarfExpressionStackSize;
}

bool empty(QXDwarfExpressionMachine* machine) { return machine->stackPointer == machine->stack; }

// Operands come from the block only: a reader over what is left of it.
QXUnwindReader operands(const QXDwarfExpressionMachine* machine) {
    return {machine->cursor, machine->end, false};
}

bool QXDwarfExpressionMachineExecute_deref(QXDwarfExpressionMachine* machine) {
    uint64_t address = QXDwarfExpressionStackPop(machine);
    QXLogWarn("DW_OP_deref value %p\n", reinterpret_cast<void*>(address));
    uint64_t value;
    if (!QXUnwindReadMemory(address, &value, sizeof(value))) {
        QXLogWarn("Error: DW_OP_deref failed to read memory\n");
        return false;
    }
    return QXDwarfExpressionStackPush(machine, value);
}

bool QXDwarfExpressionMachineExecute_dup(QXDwarfExpressionMachine* machine) {
    uint64_t value = QXDwarfExpressionStackPeek(machine);
    QXLogWarn("DW_OP_dup value %lu\n", static_cast<unsigned long>(value));
    return QXDwarfExpressionStackPush(machine, value);
}

bool QXDwarfExpressionMachineExecute_swap(QXDwarfExpressionMachine* machine) {
    QXLogWarn("DW_OP_swap\n");
    uint64_t a = QXDwarfExpressionStackPop(machine);
    uint64_t b = QXDwarfExpressionStackPop(machine);
    return QXDwarfExpressionStackPush(machine, a) && QXDwarfExpressionStackPush(machine, b);
}

bool QXDwarfExpressionMachineExecute_and(QXDwarfExpressionMachine* machine) {
    QXLogWarn("DW_OP_plus_and\n");
    uint64_t a = QXDwarfExpressionStackPop(machine);
    uint64_t b = QXDwarfExpressionStackPop(machine);
    return QXDwarfExpressionStackPush(machine, b & a);
}

bool QXDwarfExpressionMachineExecute_plus(QXDwarfExpressionMachine* machine) {
    QXLogWarn("DW_OP_plus\n");
    uint64_t a = QXDwarfExpressionStackPop(machine);
    uint64_t b = QXDwarfExpressionStackPop(machine);
    return QXDwarfExpressionStackPush(machine, b + a);
}

bool QXDwarfExpressionMachineExecute_plus_uconst(QXDwarfExpressionMachine* machine) {
    uint64_t a = QXDwarfExpressionStackPop(machine);
    QXUnwindReader reader = operands(machine);
    uint64_t operand = reader.uleb128();
    if (reader.failed) return false;
    machine->cursor = reader.cursor;
    QXLogWarn("DW_OP_plus_uconst value %lu\n", static_cast<unsigned long>(a + operand));
    return QXDwarfExpressionStackPush(machine, a + operand);
}

bool QXDwarfExpressionMachineExecute_ne(QXDwarfExpressionMachine* machine) {
    QXLogWarn("DW_OP_ne\n");
    uint64_t a = QXDwarfExpressionStackPop(machine);
    uint64_t b = QXDwarfExpressionStackPop(machine);
    return QXDwarfExpressionStackPush(machine, a != b ? 1 : 0);
}

bool QXDwarfExpressionMachineExecute_litN(QXDwarfExpressionMachine* machine, uint8_t opcode) {
    QXLogWarn("DW_OP_lit %u\n", unsigned(opcode - 0x30));
    return QXDwarfExpressionStackPush(machine, opcode - 0x30);
}

bool QXDwarfExpressionMachineExecute_bregN(QXDwarfExpressionMachine* machine, uint8_t opcode) {
    int n = opcode - 0x70;
    if (n >= 17) {
        QXLogWarn("Error: DW_OP_breg invalid register number\n");
        return false;
    }
    QXUnwindReader reader = operands(machine);
    int64_t offset = reader.sleb128();
    if (reader.failed) return false;
    machine->cursor = reader.cursor;
    QXLogWarn("DW_OP_breg %d value %d\n", n, static_cast<int>(offset));
    uint64_t value = QXDwarfUnwindGetRegisterValue(machine->registers, uint64_t(n));
    return QXDwarfExpressionStackPush(machine, value + static_cast<uint64_t>(offset));
}

bool QXDwarfExpressionMachineExecute_deref_size(QXDwarfExpressionMachine* machine) {
    uint64_t address = QXDwarfExpressionStackPop(machine);
    QXUnwindReader reader = operands(machine);
    uint8_t size = reader.u8();
    if (reader.failed) return false;
    machine->cursor = reader.cursor;
    QXLogWarn("DW_OP_deref_size %p size %u\n", reinterpret_cast<void*>(address), unsigned(size));
    if (size != 1 && size != 2 && size != 4 && size != 8) {
        QXLogWarn("Error: unrecognized DW_OP_deref_size argument %x\n", unsigned(size));
        return false;
    }
    uint64_t value = 0;  // little-endian: the low bytes are the value, zero-extended
    if (!QXUnwindReadMemory(address, &value, size)) return false;
    return QXDwarfExpressionStackPush(machine, value);
}

}  // namespace

void QXDwarfExpressionStackInit(QXDwarfExpressionMachine* machine) {
    if (!QXIsValidPointer(machine)) return;
    memset(machine->stack, 0, sizeof(machine->stack));
    machine->stackPointer = machine->stack;
}

bool QXDwarfExpressionStackIsValid(const QXDwarfExpressionMachine* machine) {
    return QXIsValidPointer(machine) && machine->stackPointer >= machine->stack &&
           machine->stackPointer <= machine->stack + kQXDwarfExpressionStackSize;
}

bool QXDwarfExpressionStackPush(QXDwarfExpressionMachine* machine, uint64_t value) {
    if (!QXDwarfExpressionStackIsValid(machine)) return false;
    if (machine->stackPointer == stackEnd(machine)) {
        machine->stackPointer = nullptr;
        return false;
    }
    *machine->stackPointer++ = value;
    return true;
}

uint64_t QXDwarfExpressionStackPeek(QXDwarfExpressionMachine* machine) {
    if (!QXDwarfExpressionStackIsValid(machine)) return 0;
    if (empty(machine)) {
        machine->stackPointer = nullptr;
        return 0;
    }
    return machine->stackPointer[-1];
}

uint64_t QXDwarfExpressionStackPop(QXDwarfExpressionMachine* machine) {
    if (!QXDwarfExpressionStackIsValid(machine)) return 0;
    if (empty(machine)) {
        machine->stackPointer = nullptr;
        return 0;
    }
    return *--machine->stackPointer;
}

bool QXDwarfExpressionMachineInit(QXDwarfExpressionMachine* machine, uint64_t expression,
                                  const QXMachineContextX86_64* context, uint64_t initialValue) {
    if (!QXIsValidPointer(machine)) return false;
    memset(machine, 0, sizeof(*machine));
    if (expression < kQXInvalidAddressLimit) return false;
    machine->cursor = reinterpret_cast<const uint8_t*>(expression);
    machine->registers = context;
    QXDwarfExpressionStackInit(machine);
    return QXDwarfExpressionStackPush(machine, initialValue);
}

bool QXDwarfExpressionMachinePrepareForExecution(QXDwarfExpressionMachine* machine) {
    if (!QXIsValidPointer(machine) || !QXIsValidPointer(machine->cursor)) {
        QXLogWarn("Error: invalid inputs\n");
        return false;
    }
    // The length ends within ten bytes; the block itself was checked by the caller.
    QXUnwindReader reader{machine->cursor, machine->cursor + 10, false};
    uint64_t length = reader.uleb128();
    if (reader.failed || length == 0) {
        QXLogWarn("Error: DWARF expression length is zero\n");
        return false;
    }
    machine->cursor = reader.cursor;
    machine->end = reader.cursor + length;
    return true;
}

bool QXDwarfExpressionMachineIsFinished(const QXDwarfExpressionMachine* machine) {
    if (!QXIsValidPointer(machine)) {
        QXLogWarn("Error: invalid inputs\n");
        return true;
    }
    if (!QXIsValidPointer(machine->cursor) || !QXIsValidPointer(machine->end)) {
        QXLogWarn("Error: DWARF machine pointers invalid\n");
        return true;
    }
    if (!QXDwarfExpressionStackIsValid(machine)) {
        QXLogWarn("Error: DWARF machine stack invalid\n");
        return true;
    }
    return machine->cursor >= machine->end;
}

bool QXDwarfExpressionMachineExecuteNextOpcode(QXDwarfExpressionMachine* machine) {
    if (!QXIsValidPointer(machine) || machine->cursor >= machine->end) return false;
    uint8_t opcode = *machine->cursor++;
    if (opcode >= 0x30 && opcode <= 0x4f)
        return QXDwarfExpressionMachineExecute_litN(machine, opcode);
    if (opcode >= 0x70 && opcode <= 0x8f)
        return QXDwarfExpressionMachineExecute_bregN(machine, opcode);
    switch (opcode) {
        case 0x06:
            return QXDwarfExpressionMachineExecute_deref(machine);
        case 0x12:
            return QXDwarfExpressionMachineExecute_dup(machine);
        case 0x16:
            return QXDwarfExpressionMachineExecute_swap(machine);
        case 0x1a:
            return QXDwarfExpressionMachineExecute_and(machine);
        case 0x22:
            return QXDwarfExpressionMachineExecute_plus(machine);
        case 0x23:
            return QXDwarfExpressionMachineExecute_plus_uconst(machine);
        case 0x2e:
            return QXDwarfExpressionMachineExecute_ne(machine);
        case 0x94:
            return QXDwarfExpressionMachineExecute_deref_size(machine);
        default:
            QXLogWarn("Error: Unrecognized DWARF expression opcode 0x%x\n", unsigned(opcode));
            return false;
    }
}

bool QXDwarfExpressionMachineGetResult(QXDwarfExpressionMachine* machine, uint64_t* result) {
    if (!QXIsValidPointer(machine) || !QXIsValidPointer(result)) return false;
    if (machine->cursor != machine->end) {
        QXLogWarn("Error: DWARF expression hasn't completed execution\n");
        return false;
    }
    *result = QXDwarfExpressionStackPeek(machine);
    if (!QXDwarfExpressionStackIsValid(machine)) {
        *result = 0;
        return false;
    }
    return true;
}

bool QXDwarfEvalulateExpression(uint64_t expression, const QXMachineContextX86_64* context,
                                uint64_t initialValue, uint64_t* result) {
    QXLogWarn("starting at %p with initial value %lx\n", reinterpret_cast<void*>(expression),
              static_cast<unsigned long>(initialValue));
    if (expression < kQXInvalidAddressLimit || !QXIsValidPointer(result)) {
        QXLogWarn("Error: inputs invalid\n");
        return false;
    }
    QXDwarfExpressionMachine machine;
    if (!QXDwarfExpressionMachineInit(&machine, expression, context, initialValue)) {
        QXLogWarn("Error: unable to init DWARF expression machine\n");
        return false;
    }
    if (!QXDwarfExpressionMachinePrepareForExecution(&machine)) {
        QXLogWarn("Error: unable to prepare for execution\n");
        return false;
    }
    while (!QXDwarfExpressionMachineIsFinished(&machine)) {
        if (!QXDwarfExpressionMachineExecuteNextOpcode(&machine)) {
            QXLogWarn("Error: failed to execute DWARF machine opcode\n");
            return false;
        }
    }
    if (!QXDwarfExpressionMachineGetResult(&machine, result)) {
        QXLogWarn("Error: failed to get DWARF expression result\n");
        return false;
    }
    QXLogWarn("successfully computed expression result\n");
    return true;
}

}  // namespace wv
