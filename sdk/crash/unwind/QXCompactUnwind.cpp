#include "sdk/crash/unwind/QXCompactUnwind.h"

#include <cstring>

#include "sdk/crash/context/QXContext.h"
#include "sdk/crash/context/QXSDKLog.h"
#include "sdk/crash/context/QXUtility.h"
#include "sdk/crash/unwind/QXDwarfUnwind.h"
#include "sdk/crash/unwind/QXUnwindMemory.h"
#include "sdk/crash/unwind/QXUnwindReader.h"

namespace wv {
namespace {

enum : uint32_t {
    kModeFrame = 1,
    kModeFramelessImmediate = 2,
    kModeFramelessIndirect = 3,
    kModeDwarf = 4,
};

enum : uint32_t { kPageRegular = 2, kPageCompressed = 3 };
enum Header : int {
    kVersion,
    kCommonOffset,
    kCommonCount,
    kPersonalityOffset,
    kPersonalityCount,
    kIndexOffset,
    kIndexCount,
};

uint32_t mode(uint32_t e) { return (e >> 24) & 0xf; }
uint32_t stackSizeField(uint32_t e) { return (e >> 16) & 0xff; }
uint32_t stackAdjustField(uint32_t e) { return (e >> 13) & 0x7; }
uint32_t registerCount(uint32_t e) { return (e >> 10) & 0x7; }
uint32_t permutationField(uint32_t e) { return e & 0x3ff; }
uint32_t dwarfOffset(uint32_t e) { return e & 0xffffff; }

// The address of `count` elements of `size` bytes at `offset` from `base`; 0 when the table
// would wrap the address space. Its elements are checked readable one by one as they are
// read: a table may span mappings, and a search touches only a few of its pages.
uint64_t table(uint64_t base, uint64_t offset, uint64_t count, uint64_t size) {
    uint64_t start = base + offset;
    if (start < base || start + count * size < start) return 0;
    return start;
}

// A value read in place when its bytes can be read; 0 and `*ok` false otherwise.
uint32_t u32At(uint64_t address, uint64_t index, bool* ok) {
    uint32_t value = 0;
    uint64_t at = address + 4 * index;
    if (!QXUnwindRangeIsReadable(at, 4)) {
        *ok = false;
        return 0;
    }
    memcpy(&value, reinterpret_cast<const void*>(at), 4);
    return value;
}

uint16_t u16At(uint64_t address, bool* ok) {
    uint16_t value = 0;
    if (!QXUnwindRangeIsReadable(address, 2)) {
        *ok = false;
        return 0;
    }
    memcpy(&value, reinterpret_cast<const void*>(address), 2);
    return value;
}

bool QXCompactUnwindLookupFirstLevel(QXCompactUnwindContext* context, uint64_t pc) {
    uint32_t count = context->header[kIndexCount];
    if (count < 2 || pc < context->loadAddress) return false;
    uint64_t index = table(context->unwindInfo, context->header[kIndexOffset], count, 12);
    if (index == 0) {
        QXLogWarn("Unable to find pc in first level\n");
        return false;
    }
    uint64_t offset = pc - context->loadAddress;
    bool ok = true;
    for (uint32_t i = 0; ok && i + 1 < count; ++i) {
        uint32_t start = u32At(index + 12 * uint64_t(i), 0, &ok);
        uint32_t next = u32At(index + 12 * uint64_t(i + 1), 0, &ok);
        if (ok && start <= offset && offset < next) {
            context->functionOffset = start;
            context->pageOffset = u32At(index + 12 * uint64_t(i), 1, &ok);
            context->lsdaOffset = u32At(index + 12 * uint64_t(i), 2, &ok);
            context->nextFunctionOffset = next;
            if (!ok) break;
            QXLogDebug("Found first level (second => %u)\n", context->pageOffset);
            return true;
        }
    }
    QXLogWarn("Unable to find pc in first level\n");
    return false;
}

bool QXCompactUnwindSearchCompressedEntries(uint64_t entries, uint32_t count, uint64_t target,
                                            uint32_t* found) {
    // A target of 0 is the first byte of the page's first function, and is found like any
    // other.
    bool ok = true;
    if (count == 0 || target < (u32At(entries, 0, &ok) & 0xffffff) || !ok) return false;
    uint32_t low = 0, high = count;  // entry[low] <= target < entry[high] (high = end)
    while (ok && high - low > 1) {
        uint32_t middle = low + (high - low) / 2;
        if ((u32At(entries, middle, &ok) & 0xffffff) <= target) {
            low = middle;
        } else {
            high = middle;
        }
    }
    *found = low;
    return ok;
}

bool QXCompactUnwindLookupSecondLevelCompressed(QXCompactUnwindContext* context, uint64_t page,
                                                uint64_t pc, QXCompactUnwindResult* result) {
    bool ok = true;
    uint64_t entryOffset = u16At(page + 4, &ok);
    uint32_t entryCount = u16At(page + 6, &ok);
    uint64_t encodingsOffset = u16At(page + 8, &ok);
    uint32_t encodingsCount = u16At(page + 10, &ok);
    uint64_t entries = table(page, entryOffset, entryCount, 4);
    uint64_t base = context->loadAddress + context->functionOffset;
    if (pc < base) {
        QXLogWarn("Error: PC is invalid\n");
        return false;
    }
    uint64_t target = pc - base;
    uint32_t i = 0;
    if (!ok || entries == 0 ||
        !QXCompactUnwindSearchCompressedEntries(entries, entryCount, target, &i)) {
        QXLogInfo("Unable to find PC in second level\n");
        return false;
    }
    uint32_t entry = u32At(entries, i, &ok);
    uint64_t start = base + (entry & 0xffffff);
    uint64_t end = i + 1 < entryCount ? base + (u32At(entries, i + 1, &ok) & 0xffffff)
                                      : context->loadAddress + context->nextFunctionOffset;
    if (!ok) return false;
    if (!(start <= pc && pc < end)) {
        QXLogWarn("PC does not match computed function range\n");
        return false;
    }
    uint32_t encodingIndex = entry >> 24;
    uint32_t commonCount = context->header[kCommonCount];
    uint32_t encoding;
    if (encodingIndex < commonCount) {
        uint64_t common =
            table(context->unwindInfo, context->header[kCommonOffset], commonCount, 4);
        if (common == 0) return false;
        encoding = u32At(common, encodingIndex, &ok);
    } else {
        uint32_t local = encodingIndex - commonCount;
        uint64_t encodings = table(page, encodingsOffset, encodingsCount, 4);
        if (local >= encodingsCount || encodings == 0) {
            QXLogWarn("Error: encoding index %u out of range\n", encodingIndex);
            return false;
        }
        encoding = u32At(encodings, local, &ok);
    }
    if (!ok) return false;
    if (encoding == 0) {
        QXLogInfo("Entry has has no unwind info\n");
        return false;
    }
    result->encoding = encoding;
    result->functionStart = start;
    result->functionEnd = end;
    return true;
}

bool QXCompactUnwindLookupSecondLevel(QXCompactUnwindContext* context, uint64_t pc,
                                      QXCompactUnwindResult* result) {
    uint64_t page = table(context->unwindInfo, context->pageOffset, 12, 1);
    bool ok = true;
    uint32_t kind = page != 0 ? u32At(page, 0, &ok) : 0;
    bool found = false;
    if (kind == kPageCompressed) {
        QXLogInfo("Found a second level compressed header\n");
        found = QXCompactUnwindLookupSecondLevelCompressed(context, page, pc, result);
    } else if (kind == kPageRegular) {
        QXLogInfo("Found a second level regular header\n");
        QXLogWarn("Encountered a regular second-level page\n");
    } else {
        QXLogError("Unrecognized header kind - unable to continue\n");
    }
    if (!found) QXLogInfo("Second-level PC lookup failed\n");
    return found;
}

bool QXCompactUnwindRestoreRegisters(QXUnwindCursor* cursor, uint64_t size, uint32_t count,
                                     const uint32_t registers[6]) {
    uint64_t slot = QXMachineContextGetSP(&cursor->context) + size - 8 - 8 * uint64_t(count);
    for (uint32_t i = 0; i < count; ++i, slot += 8) {
        if (registers[i] != 6) {
            QXLogWarn("Error: skipping a restore of register %d at %p\n", int(registers[i]),
                      reinterpret_cast<void*>(slot));
            continue;
        }
        uint64_t value;
        if (!QXUnwindReadMemory(slot, &value, 8)) {
            QXLogWarn("Error: unable to read memory to set register\n");
            return false;
        }
        if (!QXMachineContextSetFP(&cursor->context, value)) {
            QXLogWarn("Error: unable to set FP\n");
            return false;
        }
    }
    return true;
}

}  // namespace

bool QXCompactUnwindInit(QXCompactUnwindContext* context, uint64_t unwindInfo, uint64_t ehFrame,
                         uint64_t loadAddress) {
    if (!QXIsValidPointer(context)) {
        QXLogWarn("Error: invalid context passed to compact unwind init\n");
        return false;
    }
    if (unwindInfo < kQXInvalidAddressLimit) {
        QXLogWarn("Error: invalid unwind info passed to compact unwind init\n");
        return false;
    }
    if (loadAddress < kQXInvalidAddressLimit) {
        QXLogWarn("Error: invalid load address passed to compact unwind init\n");
        return false;
    }
    memset(context, 0, sizeof(*context));
    if (!QXUnwindRangeIsReadable(unwindInfo, sizeof(context->header))) {
        QXLogWarn("Error: could not read memory contents of unwindInfo\n");
        return false;
    }
    memcpy(context->header, reinterpret_cast<const void*>(unwindInfo), sizeof(context->header));
    if (context->header[kVersion] != 1) {
        QXLogWarn("Error: bad unwind_info structure version (%d != %d)\n",
                  int(context->header[kVersion]), 1);
        return false;
    }
    context->unwindInfo = unwindInfo;
    context->ehFrame = ehFrame;
    context->loadAddress = loadAddress;
    return true;
}

bool QXCompactUnwindLookupAndCompute(QXCompactUnwindContext* context, QXUnwindCursor* cursor) {
    if (!QXIsValidPointer(context) || !QXIsValidPointer(cursor)) return false;
    uint64_t pc = QXMachineContextGetPC(&cursor->context);
    if (pc < context->loadAddress) return false;
    QXCompactUnwindResult result{};
    if (!QXCompactUnwindLookup(context, pc, &result)) {
        QXLogInfo("Unable to lookup compact unwind for pc %p\n", reinterpret_cast<void*>(pc));
        return false;
    }
    if (!QXCompactUnwindComputeRegisters(context, &result, cursor)) {
        QXLogError("Failed to compute registers\n");
        return false;
    }
    return true;
}

bool QXCompactUnwindLookup(QXCompactUnwindContext* context, uint64_t pc,
                           QXCompactUnwindResult* result) {
    if (!QXIsValidPointer(context) || !QXIsValidPointer(result)) return false;
    memset(result, 0, sizeof(*result));
    return QXCompactUnwindLookupFirstLevel(context, pc) &&
           QXCompactUnwindLookupSecondLevel(context, pc, result);
}

bool QXCompactUnwindComputeRegisters(QXCompactUnwindContext* context,
                                     const QXCompactUnwindResult* result, QXUnwindCursor* cursor) {
    if (!QXIsValidPointer(context) || !QXIsValidPointer(result) || !QXIsValidPointer(cursor)) {
        QXLogError("invalid inputs\n");
        return false;
    }
    uint32_t encoding = result->encoding;
    QXLogDebug("Computing registers for encoding %x\n", encoding);
    switch (mode(encoding)) {
        case kModeFrame:
            return QXCompactUnwindBPFrame(cursor);
        case kModeFramelessImmediate:
            return QXCompactUnwindFrameless(encoding, cursor, result->functionStart, false);
        case kModeFramelessIndirect:
            return QXCompactUnwindFrameless(encoding, cursor, result->functionStart, true);
        case kModeDwarf:
            return QXCompactUnwindDwarfFrame(context, dwarfOffset(encoding), cursor);
        default:
            QXLogError("Invalid encoding %x\n", encoding);
            return false;
    }
}

bool QXCompactUnwindComputeStackSize(uint32_t encoding, uint64_t functionStart, bool indirect,
                                     uint64_t* size) {
    if (size == nullptr) {
        QXLogWarn("Error: invalid inputs\n");
        return false;
    }
    if (!indirect) {
        *size = uint64_t(stackSizeField(encoding)) * 8;
        return true;
    }
    uint32_t immediate;
    uint64_t at = functionStart + stackSizeField(encoding);
    if (!QXUnwindRangeIsReadable(at, sizeof(immediate))) {
        QXLogWarn("Error: unable to read subl value\n");
        return false;
    }
    memcpy(&immediate, reinterpret_cast<const void*>(at), sizeof(immediate));
    *size = uint64_t(immediate) + uint64_t(stackAdjustField(encoding)) * 8;
    return true;
}

bool QXCompactUnwindDecompressPermutation(uint32_t count, uint32_t p, uint32_t indices[6]) {
    memset(indices, 0, 6 * sizeof(uint32_t));
    switch (count) {
        case 0:
            return true;
        case 1:
            indices[0] = p;
            return true;
        case 2:
            indices[0] = p / 5;
            indices[1] = p % 5;
            return true;
        case 3:
            indices[0] = p / 20;
            indices[1] = (p % 20) / 4;
            indices[2] = p % 4;
            return true;
        case 4:
            indices[0] = p / 60;
            indices[1] = (p % 60) / 12;
            indices[2] = (p % 12) / 3;
            indices[3] = p % 3;
            return true;
        case 5:
        case 6:
            indices[0] = p / 120;
            indices[1] = (p % 120) / 24;
            indices[2] = (p % 24) / 6;
            indices[3] = (p % 6) / 2;
            indices[4] = p % 2;
            return true;
        default:
            return false;
    }
}

bool QXCompactUnwindRemapRegisters(uint32_t count, const uint32_t indices[6],
                                   uint32_t registers[6]) {
    memset(registers, 0, 6 * sizeof(uint32_t));
    if (count > 6) {
        QXLogWarn("Error: invalid register number count %d\n", int(count));
        return false;
    }
    bool taken[7] = {};
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t seen = 0;
        for (uint32_t number = 1; number <= 6; ++number) {
            if (taken[number]) continue;
            if (seen++ == indices[i]) {
                registers[i] = number;
                taken[number] = true;
                break;
            }
        }
    }
    return true;
}

bool QXCompactUnwindFrameless(uint32_t encoding, QXUnwindCursor* cursor, uint64_t functionStart,
                              bool indirect) {
    QXLogWarn("Frameless unwind encountered with encoding %x\n", encoding);
    uint64_t size;
    if (!QXCompactUnwindComputeStackSize(encoding, functionStart, indirect, &size)) {
        QXLogWarn("Error: unable to compute stack size for encoding %x\n", encoding);
        return false;
    }
    uint32_t count = registerCount(encoding);
    uint32_t indices[6];
    if (!QXCompactUnwindDecompressPermutation(count, permutationField(encoding), indices)) {
        QXLogWarn("Error: unhandled number of register permutations for encoding %x\n", encoding);
        QXLogWarn("Error: unable to decompress registers %x\n", encoding);
        return false;
    }
    uint32_t registers[6];
    if (!QXCompactUnwindRemapRegisters(count, indices, registers)) {
        QXLogWarn("Error: unable to remap registers %x\n", encoding);
        return false;
    }
    if (!QXCompactUnwindRestoreRegisters(cursor, size, count, registers)) {
        QXLogWarn("Error: unable to restore registers\n");
        return false;
    }
    uint64_t sp = QXMachineContextGetSP(&cursor->context);
    uint64_t slot = sp + size - 8;
    QXLogWarn("SP is %p and we are reading %p\n", reinterpret_cast<void*>(sp),
              reinterpret_cast<void*>(slot));
    uint64_t pc;
    if (!QXUnwindReadMemory(slot, &pc, 8)) {
        QXLogWarn("Error: unable to read memory to set register\n");
        return false;
    }
    QXLogWarn("Read PC to be %p\n", reinterpret_cast<void*>(pc));
    if (pc < kQXInvalidAddressLimit) {
        QXLogWarn("Error: computed PC is invalid\n");
        return false;
    }
    QXMachineContextSetPC(&cursor->context, pc);
    QXMachineContextSetSP(&cursor->context, slot + 8);
    return true;
}

bool QXCompactUnwindDwarfFrame(QXCompactUnwindContext* context, uint32_t offset,
                               QXUnwindCursor* cursor) {
    QXLogInfo("Trying to read dwarf data with offset %lx\n", static_cast<unsigned long>(offset));
    QXDwarfCIEFDEPair pair;
    if (!QXDwarfInitFDEAtOffset(&pair, context->ehFrame, offset)) {
        QXLogError("Unable to init FDE\n");
        return false;
    }
    if (!QXDwarfUnwindComputeRegisters(&pair, cursor, kQXDwarfDialectMachO)) {
        QXLogError("Failed to compute DWARF registers\n");
        return false;
    }
    return true;
}

}  // namespace wv
