#include "sdk/crash/context/QXMachineContext.h"

#include <cstring>

#include "sdk/crash/context/QXContext.h"
#include "sdk/crash/context/QXSDKLog.h"
#include "sdk/crash/context/QXUtility.h"

namespace wv {
namespace {

uint64_t* x86Register(QXMachineContextX86_64* c, uint64_t number) {
    // The ABI's order, which is not the order of the record.
    uint64_t* table[] = {&c->rax, &c->rdx, &c->rcx, &c->rbx, &c->rsi, &c->rdi,
                         &c->rbp, &c->rsp, &c->r8,  &c->r9,  &c->r10, &c->r11,
                         &c->r12, &c->r13, &c->r14, &c->r15, &c->rip};
    return number < sizeof(table) / sizeof(table[0]) ? table[number] : nullptr;
}

uint64_t* armRegister(QXMachineContextArm64* c, uint64_t number) {
    if (number < 29) return &c->x[number];
    switch (number) {
        case 29:
            return &c->fp;
        case 30:
            return &c->lr;
        case 31:
            return &c->sp;
        default:
            return nullptr;
    }
}

template <class Context, class Lookup>
uint64_t getRegister(const Context* context, uint64_t number, Lookup lookup) {
    uint64_t* slot = context ? lookup(const_cast<Context*>(context), number) : nullptr;
    if (slot == nullptr) {
        QXLogWarn("Error: Unrecognized get register number %llu\n",
                  static_cast<unsigned long long>(number));
        return 0;
    }
    return *slot;
}

template <class Context, class Lookup>
bool setRegister(Context* context, uint64_t number, uint64_t value, Lookup lookup) {
    uint64_t* slot = QXIsValidPointer(context) ? lookup(context, number) : nullptr;
    if (slot == nullptr) {
        QXLogWarn("Unrecognized set register number %llu\n",
                  static_cast<unsigned long long>(number));
        return false;
    }
    *slot = value;
    return true;
}

template <class Context>
bool framePointerStep(QXUnwindCursorOf<Context>* cursor) {
    if (!QXIsValidPointer(cursor)) return false;
    uint64_t fp = QXMachineContextGetFP(&cursor->context);
    uint64_t frame[2];
    if (!QXUtilityReadMemory(static_cast<uintptr_t>(fp), frame, sizeof(frame))) {
        QXLogWarn("Error: failed to read memory at address %p\n", reinterpret_cast<void*>(fp));
        return false;
    }
    QXMachineContextSetPC(&cursor->context, frame[1]);
    QXMachineContextSetFP(&cursor->context, frame[0]);
    QXMachineContextSetSP(&cursor->context, fp + 16);
    return true;
}

}  // namespace

bool QXMachineContextFromUContext(const ucontext_t* ucontext, QXMachineContext* context) {
    if (!QXIsValidPointer(ucontext) || !QXIsValidPointer(context)) return false;
    memset(context, 0, sizeof(*context));
#if defined(__x86_64__)
    const greg_t* g = ucontext->uc_mcontext.gregs;
    auto r = [g](int index) { return static_cast<uint64_t>(g[index]); };
    *context = {r(REG_RAX), r(REG_RBX), r(REG_RCX), r(REG_RDX), r(REG_RDI), r(REG_RSI), r(REG_RBP),
                r(REG_RSP), r(REG_R8), r(REG_R9), r(REG_R10), r(REG_R11), r(REG_R12), r(REG_R13),
                r(REG_R14), r(REG_R15), r(REG_RIP), r(REG_EFL),
                // One word holds cs, gs and fs, 16 bits each, in that order from the bottom.
                r(REG_CSGSFS) & 0xffff, (r(REG_CSGSFS) >> 32) & 0xffff,
                (r(REG_CSGSFS) >> 16) & 0xffff};
#elif defined(__aarch64__)
    const auto& m = ucontext->uc_mcontext;
    for (int i = 0; i < 29; ++i) context->x[i] = m.regs[i];
    context->fp = m.regs[29];
    context->lr = m.regs[30];
    context->sp = m.sp;
    context->pc = m.pc;
    context->cpsr = m.pstate;
#endif
    return true;
}

uint64_t QXMachineContextGetPC(const QXMachineContextX86_64* c) { return c ? c->rip : 0; }
uint64_t QXMachineContextGetSP(const QXMachineContextX86_64* c) { return c ? c->rsp : 0; }
uint64_t QXMachineContextGetFP(const QXMachineContextX86_64* c) { return c ? c->rbp : 0; }

bool QXMachineContextSetPC(QXMachineContextX86_64* c, uint64_t value) {
    if (c == nullptr) return false;
    c->rip = value;
    return true;
}

bool QXMachineContextSetSP(QXMachineContextX86_64* c, uint64_t value) {
    if (!QXIsValidPointer(c)) return false;
    c->rsp = value;
    return true;
}

bool QXMachineContextSetFP(QXMachineContextX86_64* c, uint64_t value) {
    if (!QXIsValidPointer(c)) return false;
    c->rbp = value;
    return true;
}

uint64_t QXDwarfUnwindGetRegisterValue(const QXMachineContextX86_64* c, uint64_t number) {
    return getRegister(c, number, x86Register);
}

bool QXDwarfUnwindSetRegisterValue(QXMachineContextX86_64* c, uint64_t number, uint64_t value) {
    return setRegister(c, number, value, x86Register);
}

uint64_t QXMachineContextGetPC(const QXMachineContextArm64* c) { return c ? c->pc : 0; }
uint64_t QXMachineContextGetSP(const QXMachineContextArm64* c) { return c ? c->sp : 0; }
uint64_t QXMachineContextGetFP(const QXMachineContextArm64* c) { return c ? c->fp : 0; }

bool QXMachineContextSetPC(QXMachineContextArm64* c, uint64_t value) {
    if (c == nullptr) return false;
    c->pc = value;
    return true;
}

bool QXMachineContextSetSP(QXMachineContextArm64* c, uint64_t value) {
    if (!QXIsValidPointer(c)) return false;
    c->sp = value;
    return true;
}

bool QXMachineContextSetFP(QXMachineContextArm64* c, uint64_t value) {
    if (!QXIsValidPointer(c)) return false;
    c->fp = value;
    return true;
}

uint64_t QXDwarfUnwindGetRegisterValue(const QXMachineContextArm64* c, uint64_t number) {
    return getRegister(c, number, armRegister);
}

bool QXDwarfUnwindSetRegisterValue(QXMachineContextArm64* c, uint64_t number, uint64_t value) {
    return setRegister(c, number, value, armRegister);
}

bool QXCompactUnwindBPFrame(QXUnwindCursorOf<QXMachineContextX86_64>* cursor) {
    return framePointerStep(cursor);
}
bool QXCompactUnwindBPFrame(QXUnwindCursorOf<QXMachineContextArm64>* cursor) {
    return framePointerStep(cursor);
}

}  // namespace wv
