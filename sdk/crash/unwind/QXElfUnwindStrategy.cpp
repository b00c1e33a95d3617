#include "sdk/crash/unwind/QXElfUnwindStrategy.h"

#include "sdk/crash/context/QXSDKLog.h"
#include "sdk/crash/unwind/QXDwarfUnwind.h"
#include "sdk/crash/unwind/QXEhFrameHeader.h"

namespace wv {

bool QXElfUnwindStrategy::step(const QXBinaryImageNode& image, QXUnwindCursor* cursor) const {
    uint64_t pc = QXMachineContextGetPC(&cursor->context);
    uint64_t fde = 0;
    if (!QXEhFrameHeaderFindFDE(image.unwindInfo, image.ehFrame, pc, &fde)) {
        QXLogInfo("No FDE for pc %p\n", reinterpret_cast<void*>(pc));
        return false;
    }
    QXDwarfCIEFDEPair pair;
    if (!QXDwarfParseFDERecord(&pair.fde, true, &pair.cie, fde, image.ehFrame)) {
        QXLogError("Unable to init FDE\n");
        return false;
    }
    if (pc < pair.fde.initialLocation || pc - pair.fde.initialLocation >= pair.fde.addressRange) {
        QXLogInfo("FDE at %p does not cover pc %p\n", reinterpret_cast<void*>(fde),
                  reinterpret_cast<void*>(pc));
        return false;
    }
    if (!QXDwarfUnwindComputeRegisters(&pair, cursor, kQXDwarfDialectElf)) {
        QXLogError("Failed to compute DWARF registers\n");
        return false;
    }
    return true;
}

}  // namespace wv
