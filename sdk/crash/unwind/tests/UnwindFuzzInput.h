#pragma once

// One input for the table readers, shared by the libFuzzer target and the replay of kept
// inputs. The first byte picks the reader; the rest are its table, placed right before an
// unmapped page so that any read past the end faults at once:
//   0: an .eh_frame section, every record parsed and each FDE's rules run to a PC in it
//   1: call-frame instructions run under both dialects
//   2: a DWARF expression
//   3: a __unwind_info section, looked up and its registers computed on an unmapped stack

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "sdk/crash/unwind/QXCompactUnwind.h"
#include "sdk/crash/unwind/QXDwarfExpression.h"
#include "sdk/crash/unwind/QXDwarfUnwind.h"

namespace wv::test {

class GuardedInput {
  public:
    GuardedInput(const uint8_t* data, size_t size) {
        size_t pages = (size + 4095) / 4096 + 1;
        length_ = pages * 4096;
        map_ = static_cast<uint8_t*>(mmap(nullptr, length_, PROT_READ | PROT_WRITE,
                                          MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        mprotect(map_ + (pages - 1) * 4096, 4096, PROT_NONE);
        start_ = map_ + (pages - 1) * 4096 - size;
        if (size != 0) memcpy(start_, data, size);
        size_ = size;
    }
    ~GuardedInput() { munmap(map_, length_); }
    uint64_t start() const { return reinterpret_cast<uint64_t>(start_); }
    uint64_t end() const { return start() + size_; }

  private:
    uint8_t* map_;
    uint8_t* start_;
    size_t length_;
    size_t size_;
};

inline void fuzzEhFrame(const GuardedInput& in) {
    uint64_t offset = 0;
    while (in.start() + offset + 4 <= in.end()) {
        uint32_t length;
        memcpy(&length, reinterpret_cast<const void*>(in.start() + offset), 4);
        if (length == 0 || length == 0xffffffffu) break;
        QXDwarfCIEFDEPair pair;
        if (QXDwarfParseFDERecord(&pair.fde, true, &pair.cie, in.start() + offset, in.start(),
                                  in.end())) {
            QXDwarfState state;
            QXDwarfRunToPC(&pair, pair.fde.initialLocation + pair.fde.addressRange / 2,
                           kQXDwarfDialectElf, &state);
            QXDwarfRunToPC(&pair, pair.fde.initialLocation, kQXDwarfDialectMachO, &state);
        }
        offset += 4 + uint64_t(length);
    }
}

inline void fuzzInstructions(const GuardedInput& in, int64_t target) {
    QXDwarfCIERecord cie{};
    cie.length = 1;
    cie.version = 1;
    cie.augmentation = "zR";
    cie.fdePointerEncoding = 0x1b;
    cie.codeAlignmentFactor = 1;
    cie.dataAlignmentFactor = -8;
    cie.returnAddressRegister = 16;
    for (QXDwarfDialect dialect :
         {kQXDwarfDialectElf, kQXDwarfDialectMachO, kQXDwarfDialectElfArm64}) {
        QXDwarfState initial{}, state{};
        QXDwarfInstructionsEnumerate(in.start(), in.end() - in.start(), &cie, &state, target,
                                     {dialect, in.start(), &initial});
    }
}

inline void fuzzExpression(const uint8_t* data, size_t size) {
    // The block form: its length first, as the call-frame rules hand it over.
    uint8_t block[4096 + 2];
    if (size > 4096) size = 4096;
    block[0] = uint8_t(0x80 | (size & 0x7f));
    block[1] = uint8_t(size >> 7);
    memcpy(block + 2, data, size);
    GuardedInput in(block, size + 2);
    QXMachineContextX86_64 context{};
    context.rsp = in.start();
    uint64_t result;
    QXDwarfEvalulateExpression(in.start(), &context, in.start(), &result);
}

inline void fuzzCompactUnwind(const GuardedInput& in) {
    QXCompactUnwindContext context;
    if (!QXCompactUnwindInit(&context, in.start(), in.start(), in.start())) return;
    for (uint64_t offset : {uint64_t(0), uint64_t(0x40), uint64_t(0x1000), uint64_t(0x12345)}) {
        QXUnwindCursor cursor{};
        cursor.context.rip = in.start() + offset;
        cursor.context.rsp = 0x10000;  // unmapped
        cursor.context.rbp = 0x10000;
        QXCompactUnwindLookupAndCompute(&context, &cursor);
    }
}

inline void fuzzUnwindTables(const uint8_t* data, size_t size) {
    if (size < 2) return;
    uint8_t selector = data[0] % 4;
    int64_t target = data[1];
    GuardedInput in(data + 2, size - 2);
    switch (selector) {
        case 0:
            fuzzEhFrame(in);
            break;
        case 1:
            fuzzInstructions(in, target);
            break;
        case 2:
            fuzzExpression(data + 2, size - 2);
            break;
        default:
            fuzzCompactUnwind(in);
    }
}

}  // namespace wv::test
