#include "sdk/crash/unwind/QXUnwind.h"

#include <cstring>

#include "sdk/crash/context/QXContext.h"
#include "sdk/crash/context/QXSDKLog.h"
#include "sdk/crash/context/QXUtility.h"
#include "sdk/crash/images/QXBinaryImage.h"
#include "sdk/crash/unwind/QXUnwindMemory.h"
#include "sdk/crash/unwind/QXUnwindStrategy.h"

namespace wv {
namespace {

bool QXUnwindWithCompactUnwindInfo(QXUnwindCursor* cursor, uint64_t pc) {
    QXBinaryImageNode image;
    if (!QXBinaryImageSafeFindImageForAddress(static_cast<uintptr_t>(pc), &image)) {
        QXLogWarn("Unable to find binary for %p\n", reinterpret_cast<void*>(pc));
        return false;
    }
    QXLogDebug("Binary image for %p at %p\n", reinterpret_cast<void*>(pc),
               reinterpret_cast<void*>(image.baseAddress));
    if (!QXBinaryImageHasCompactUnwindInfo(&image)) {
        QXLogInfo("Binary image at %p has no unwind info\n",
                  reinterpret_cast<void*>(image.baseAddress));
        return false;
    }
    const QXUnwindStrategy* strategy = QXUnwindStrategy::forImage(image);
    if (strategy == nullptr) {
        QXLogError("Unable to read unwind info\n");
        return false;
    }
    return strategy->step(image, cursor);
}

bool QXUnwindNextFrameUsingAllStrategies(QXUnwindCursor* cursor, uint64_t pc) {
    if (QXUnwindWithCompactUnwindInfo(cursor, pc)) return true;
    if (QXMachineContextGetFP(&cursor->context) == 0) {
        QXLogWarn("FP is zero, aborting unwind\n");
        QXMachineContextSetPC(&cursor->context, 0);
        return true;
    }
    if (!QXUnwindWithFramePointer(cursor, cursor->frameCount == 1)) {
        QXLogError("Unable to use frame pointer\n");
        return false;
    }
    return true;
}

// Counts a frame the cursor now stands on; a PC below 4096 ends the walk without a message
// (the outermost frame, or a frame-pointer chain that ran out).
bool validateFrame(QXUnwindCursor* cursor) {
    uint64_t pc = QXMachineContextGetPC(&cursor->context);
    if (pc < kQXInvalidAddressLimit) return false;
    uint64_t sp = QXMachineContextGetSP(&cursor->context);
    if (sp < kQXInvalidAddressLimit) {
        QXLogWarn("Error: SP (%p) isn't a valid pointer\n", reinterpret_cast<void*>(sp));
        return false;
    }
    cursor->repeatCount = pc == cursor->lastPC ? cursor->repeatCount + 1 : 0;
    cursor->frameCount += 1;
    cursor->lastPC = pc;
    return true;
}

}  // namespace

bool QXUnwindInit(QXUnwindCursor* cursor, QXMachineContext context) {
    if (cursor == nullptr) return false;
    memset(cursor, 0, sizeof(*cursor));
    cursor->context = context;
    return true;
}

bool QXUnwindNextFrame(QXUnwindCursor* cursor) {
    if (!QXIsValidPointer(cursor)) {
        QXLogWarn("Error: invalid inputs\n");
        return false;
    }
    QXUnwindMemoryScope memory(cursor);
    if (!QXUnwindIsValid(cursor)) {
        if (cursor->frameCount == 0) {
            QXLogWarn("Cancelling unwind for thread with invalid PC/SP\n");
        } else {
            QXLogWarn("Error: thread PC/SP invalid before unwind\n");
        }
        return false;
    }
    if (cursor->frameCount >= kQXUnwindMaximumFrames) {
        QXLogWarn("Exceeded maximum number of frames\n");
        QXLogError("Failed to advance to the next frame\n");
        return false;
    }
    uint64_t pc = QXMachineContextGetPC(&cursor->context);
    // A return address points after its call, possibly into the next function: the rules of
    // the call itself are found one byte back. The starting frame's PC is where the thread
    // stopped (a fault may be at a function's first byte) and is looked up as it is, and so is
    // the PC a signal frame gives back.
    const bool interrupted = cursor->interrupted != 0;
    cursor->interrupted = 0;
    if (cursor->frameCount >= 2 && !interrupted) {
        pc -= 1;
        QXMachineContextSetPC(&cursor->context, pc);
    }
    if (pc < kQXInvalidAddressLimit) {
        QXLogError("PC is invalid\n");
        QXLogError("Failed to advance to the next frame\n");
        return false;
    }
    if (cursor->frameCount != 0 && !QXUnwindNextFrameUsingAllStrategies(cursor, pc)) {
        QXLogError("Failed to advance to the next frame\n");
        return false;
    }
    return validateFrame(cursor);
}

uint64_t QXUnwindGetPC(const QXUnwindCursor* cursor) {
    return QXIsValidPointer(cursor) ? QXMachineContextGetPC(&cursor->context) : 0;
}

uint64_t QXUnwindGetSP(const QXUnwindCursor* cursor) {
    return QXIsValidPointer(cursor) ? QXMachineContextGetSP(&cursor->context) : 0;
}

uint32_t QXUnwindGetRepeatCount(const QXUnwindCursor* cursor) {
    return QXIsValidPointer(cursor) ? cursor->repeatCount : 0;
}

bool QXUnwindIsValid(const QXUnwindCursor* cursor) {
    return QXIsValidPointer(cursor) &&
           QXMachineContextGetPC(&cursor->context) >= kQXInvalidAddressLimit &&
           QXMachineContextGetSP(&cursor->context) >= kQXInvalidAddressLimit;
}

bool QXUnwindWithFramePointer(QXUnwindCursor* cursor, bool firstStep) {
    if (firstStep) {
        QXLogInfo("Attempting stack scan\n");
        if (QXUnwindStackScan(cursor)) {
            QXLogInfo("Stack scan successful\n");
            return true;
        }
    }
    return QXCompactUnwindBPFrame(cursor);
}

bool QXUnwindStackScan(QXUnwindCursor* cursor) {
    if (!QXIsValidPointer(cursor)) return false;
    uint64_t found = 0;
    if (!QXUnwindFirstExecutableAddress(QXMachineContextGetSP(&cursor->context),
                                        QXMachineContextGetFP(&cursor->context), &found)) {
        return false;
    }
    return QXMachineContextSetPC(&cursor->context, found);
}

bool QXUnwindFirstExecutableAddress(uint64_t start, uint64_t end, uint64_t* result) {
    if (result == nullptr) return false;
    *result = 0;
    for (uint64_t slot = start;; slot += 8) {
        if (slot >= kQXInvalidAddressLimit) {
            uint64_t word;
            if (!QXUnwindReadMemory(slot, &word, sizeof(word))) {
                return false;
            }
            QXLogDebug("Checking address %p => %p\n", reinterpret_cast<void*>(slot),
                       reinterpret_cast<void*>(word));
            QXLogDebug("Checking for executable %p\n", reinterpret_cast<void*>(word));
            QXBinaryImageNode image;
            if (QXBinaryImageSafeFindImageForAddress(static_cast<uintptr_t>(word), &image)) {
                *result = word;
                return true;
            }
        }
        if (slot + 8 >= end || slot + 8 < slot) return false;
    }
}

}  // namespace wv
