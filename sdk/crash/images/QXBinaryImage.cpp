#include "sdk/crash/images/QXBinaryImage.h"

#include <elf.h>

#include <cstring>

#include "sdk/crash/context/QXContext.h"
#include "sdk/crash/context/QXDataParsing.h"
#include "sdk/crash/context/QXSDKLog.h"

namespace wv {

bool QXBinaryImageSafeFindImageForAddress(uintptr_t address, QXBinaryImageNode* node) {
    if (!QXIsValidPointer(node) || address == 0 || !QXContextIsInitialized()) return false;
    if (!QXIsValidPointer(qxWritableContext)) return false;
    for (uint32_t i = 0; i < kQXBinaryImageNodeCount; ++i) {
        const QXBinaryImageNode* slot = &qxWritableContext->binaryImages[i];
        if (!QXIsValidPointer(slot)) {
            QXLogWarn(
                "Invalid node pointer encountered in context's writable binary image at "
                "index %i\n",
                static_cast<int>(i));
            continue;
        }
        uint64_t base = __atomic_load_n(&slot->baseAddress, __ATOMIC_ACQUIRE);
        if (base == 0) continue;
        uint64_t size = __atomic_load_n(&slot->size, __ATOMIC_ACQUIRE);
        // Written as a difference so a base near the top of the address space cannot wrap.
        if (address >= base && address - base < size) {
            node->baseAddress = base;
            node->size = size;
            node->ehFrame = __atomic_load_n(&slot->ehFrame, __ATOMIC_RELAXED);
            node->unwindInfo = __atomic_load_n(&slot->unwindInfo, __ATOMIC_RELAXED);
            node->crashInfo = __atomic_load_n(&slot->crashInfo, __ATOMIC_RELAXED);
            return true;
        }
    }
    return false;
}

bool QXBinaryImageHasCompactUnwindInfo(const QXBinaryImageNode* node) {
    return QXIsValidPointer(node) && node->unwindInfo >= kQXInvalidAddressLimit;
}

bool QXBinaryImageNodeFromProgramHeaders(const dl_phdr_info* info, QXBinaryImageNode* node) {
    if (info == nullptr || node == nullptr) return false;
    memset(node, 0, sizeof(*node));
    uint64_t header = 0;
    uint64_t executableEnd = 0;
    uint64_t ehFrameHeader = 0;
    for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& ph = info->dlpi_phdr[i];
        if (ph.p_type == PT_LOAD && ph.p_offset == 0) header = info->dlpi_addr + ph.p_vaddr;
        if (ph.p_type == PT_LOAD && (ph.p_flags & PF_X) != 0) {
            uint64_t end = info->dlpi_addr + ph.p_vaddr + ph.p_memsz;
            if (end > executableEnd) executableEnd = end;
        }
        if (ph.p_type == PT_GNU_EH_FRAME) ehFrameHeader = info->dlpi_addr + ph.p_vaddr;
    }
    if (header < kQXInvalidAddressLimit || executableEnd <= header) return false;
    node->baseAddress = header;
    node->size = executableEnd - header;
    node->unwindInfo = ehFrameHeader;
    if (ehFrameHeader >= kQXInvalidAddressLimit) {
        // version, eh_frame_ptr encoding, then the pointer to .eh_frame in that encoding.
        const auto* cursor = reinterpret_cast<const uint8_t*>(ehFrameHeader);
        if (cursor[0] == 1) {
            uint8_t encoding = cursor[1];
            cursor += 4;
            uint64_t ehFrame = QXParseAddressWithEncodingAndAdvance(&cursor, encoding);
            if (ehFrame != kQXParseFailed) node->ehFrame = ehFrame;
        }
    }
    return true;
}

}  // namespace wv
