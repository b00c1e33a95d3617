#include "sdk/crash/capture/QXMachException.h"

#include <errno.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <ctime>

#include "sdk/crash/capture/QXHandler.h"
#include "sdk/crash/capture/QXSignal.h"
#include "sdk/crash/capture/QXThreadList.h"
#include "sdk/crash/context/QXContext.h"
#include "sdk/crash/context/QXFile.h"
#include "sdk/crash/context/QXHost.h"
#include "sdk/crash/context/QXSDKLog.h"
#include "sdk/crash/context/QXUtility.h"

namespace wv {
namespace {

constexpr uint32_t kBehaviorDefaultWith64BitCodes = 1u | 0x80000000u;
constexpr uint32_t kThreadStateNone = 13;

const char* const kArithmeticCodes[] = {"EXC_I386_DIV",    "EXC_I386_INTO",     "EXC_I386_NOEXT",
                                        "EXC_I386_EXTOVR", "EXC_I386_EXTERR",   "EXC_I386_EMERR",
                                        "EXC_I386_BOUND",  "EXC_I386_SSEEXTERR"};

const char* trapName(int64_t code) {
    switch (code) {
        case 0:
            return "EXC_I386_DIVERR";
        case 1:
            return "EXC_I386_SGLSTP";
        case 2:
            return "EXC_I386_NMIFLT";
        case 3:
            return "EXC_I386_BPTFLT";
        case 4:
            return "EXC_I386_INTOFLT";
        case 5:
            return "EXC_I386_BOUNDFLT";
        case 6:
            return "EXC_I386_INVOPFLT";
        case 7:
            return "EXC_I386_NOEXTFLT";
        case 9:
            return "EXC_I386_EXTOVRFLT";
        case 10:
            return "EXC_I386_INVTSSFLT";
        case 11:
            return "EXC_I386_SEGNPFLT";
        case 12:
            return "EXC_I386_STKFLT";
        case 13:
            return "EXC_I386_GPFLT";
        case 14:
            return "EXC_I386_PGFLT";
        case 16:
            return "EXC_I386_EXTERRFLT";
        case 17:
            return "EXC_I386_ALIGNFLT";
        case 32:
            return "EXC_I386_ENOEXTFLT";
        case 33:
            return "EXC_I386_ENDPERR";
        default:
            return nullptr;
    }
}

uint32_t receivedCodeCount(const QXMachExceptionRequest& request) {
    return request.codeCount < 2 ? request.codeCount : 2;
}

bool record(QXMachExceptionState* state, const QXMachExceptionRequest& request) {
    if (QXContextMarkAndCheckIfCrashed()) {
        QXLogWarn("Error: aborting mach exception handler because crash has already occurred\n");
        _exit(1);
    }
    if (QXIsValidPointer(qxWritableContext))
        __atomic_store_n(&qxWritableContext->recordingThread, QXThreadListCurrentTid(),
                         __ATOMIC_RELEASE);
    QXFile file;
    if (!QXIsValidPointer(qxContext) ||
        !QXFileInitWithPath(&file, qxContext->machException.path, false)) {
        QXLogWarn("Unable to open mach exception file\n");
        return false;
    }
    const uint32_t count = receivedCodeCount(request);
    const int64_t first = count > 0 ? request.codes[0] : 0;
    QXFileWriteSectionStart(&file, "mach_exception");
    QXFileWriteHashStart(&file);
    QXFileWriteHashEntryUint64(&file, "exception", uint64_t(int64_t(request.exception)));
    QXFileWriteHashKey(&file, "codes");
    QXFileWriteArrayStart(&file);
    for (uint32_t i = 0; i < count; ++i)
        QXFileWriteArrayEntryUint64(&file, uint64_t(request.codes[i]));
    QXFileWriteArrayEnd(&file);
    QXFileWriteHashEntryString(&file, "name", QXMachExceptionName(request.exception));
    QXFileWriteHashEntryString(&file, "code_name",
                               QXMachExceptionCodeName(request.exception, first));
    QXFileWriteHashEntryUint64(&file, "original_ports", state->savedCount);
    QXFileWriteHashEntryUint64(&file, "time", uint64_t(time(nullptr)));
    QXFileWriteHashEnd(&file);
    QXFileWriteSectionEnd(&file);
    QXFileFlushLineStage(&file);
    QXHandler(&file, static_cast<pid_t>(request.thread.name), nullptr);
    QXFileClose(&file);
    if (QXIsValidPointer(qxWritableContext))
        __atomic_store_n(&qxWritableContext->recordFinished, 1, __ATOMIC_RELEASE);
    return true;
}

}  // namespace

void QXMachExceptionInit(uint32_t) {
    if (!QXIsValidPointer(qxContext)) return;
    if (!QXUtilityUnlinkIfExists(qxContext->machException.path))
        QXLogWarn("Unable to reset the mach exception file %s\n", strerrordesc_np(errno));
}

uint32_t QXMachExceptionBaseMask(uint32_t osVersionCode) {
    const uint32_t base = kQXMachMaskBadAccess | kQXMachMaskBadInstruction | kQXMachMaskArithmetic |
                          kQXMachMaskBreakpoint;
    return osVersionCode > 1069 ? base | kQXMachMaskGuard : base;
}

uint32_t QXMachExceptionInstalledMask(uint32_t osVersionCode, uint32_t exclusionMask) {
    return QXMachExceptionBaseMask(osVersionCode) & ~exclusionMask;
}

uint32_t QXMachExceptionMaskForSignal(int signal) {
    switch (signal) {
        case SIGILL:
            return kQXMachMaskBadInstruction;
        case SIGTRAP:
            return kQXMachMaskBreakpoint;
        case SIGABRT:
            return kQXMachMaskCrash;
        case SIGFPE:
            return kQXMachMaskArithmetic;
        case SIGBUS:
            return kQXMachMaskBadAccess;
        case SIGSEGV:
            return kQXMachMaskBadAccess;
        case SIGSYS:
            return kQXMachMaskCrash;
        default:
            return 0;
    }
}

const char* QXMachExceptionName(int32_t exception) {
    switch (exception) {
        case 1:
            return "EXC_BAD_ACCESS";
        case 2:
            return "EXC_BAD_INSTRUCTION";
        case 3:
            return "EXC_ARITHMETIC";
        case 6:
            return "EXC_BREAKPOINT";
        case 12:
            return "EXC_GUARD";
        default:
            return nullptr;
    }
}

const char* QXMachExceptionCodeName(int32_t exception, int64_t firstCode) {
    switch (exception) {
        case 1:
            if (firstCode == 2) return "KERN_PROTECTION_FAILURE";
            if (firstCode == 1) return "KERN_INVALID_ADDRESS";
            return nullptr;
        case 2:
            return "EXC_I386_INVOP";
        case 3:
            return firstCode >= 1 && firstCode <= 8 ? kArithmeticCodes[firstCode - 1] : nullptr;
        case 6:
            return trapName(firstCode);
        default:
            return nullptr;
    }
}

bool QXMachExceptionUnregister(QXMachExceptionState* state, uint32_t mask) {
    if (state == nullptr || state->port == nullptr) return false;
    for (uint32_t i = 0; i < state->savedCount && i < kQXMachMaxSavedPorts; ++i) {
        if (state->port->setExceptionPorts(state->savedMasks[i], state->savedPorts[i],
                                           state->savedBehaviors[i], state->savedFlavors[i]) != 0)
            QXLogWarn("unable to restore original port: %d\n", int32_t(state->savedPorts[i]));
        mask &= ~state->savedMasks[i];
    }
    if (state->port->setExceptionPorts(mask, 0, kBehaviorDefaultWith64BitCodes, kThreadStateNone) !=
        0) {
        QXLogWarn("unable to unset unregistered mask: 0x%x\n", mask);
        return false;
    }
    return true;
}

int32_t QXMachExceptionDispatchMessage(QXMachExceptionState* state,
                                       const QXMachExceptionRequest& request) {
    const uint32_t count = receivedCodeCount(request);
    QXLogWarn("Mach exception: 0x%x, count: %d, code: 0x%llx 0x%llx\n", uint32_t(request.exception),
              int32_t(request.codeCount), count > 0 ? request.codes[0] : int64_t(-1),
              count > 1 ? request.codes[1] : int64_t(-1));
    if (state == nullptr || state->port == nullptr || request.task.name != state->port->ownTask()) {
        QXLogWarn("Mach exception task mis-match, returning failure\n");
        return kQXMachReplyFailure;
    }
    QXLogWarn("Unregistering handler\n");
    if (!QXMachExceptionUnregister(state, state->mask)) {
        QXLogWarn("Failed to unregister\n");
        return kQXMachReplyFailure;
    }
    QXLogWarn("Restoring original signal handlers\n");
    if (!QXSignalSafeInstallPreexistingHandlers()) {
        QXLogWarn("Failed to restore signal handlers\n");
        return kQXMachReplyFailure;
    }
    QXLogWarn("Recording mach exception\n");
    if (!record(state, request)) {
        QXLogWarn("Failed to record mach exception\n");
        return kQXMachReplyFailure;
    }
    return 0;
}

QXMachExceptionReply QXMachExceptionMakeReply(const QXMachExceptionRequest& request,
                                              int32_t returnCode) {
    QXMachExceptionReply reply{};
    reply.header.bits = request.header.bits & 31u;
    reply.header.size = sizeof reply;
    reply.header.remotePort = request.header.remotePort;
    reply.header.localPort = 0;
    reply.header.id = request.header.id + 100;
    memcpy(reply.ndr, request.ndr, sizeof reply.ndr);
    reply.returnCode = returnCode;
    return reply;
}

void QXMachExceptionServer(QXMachExceptionState* state) {
    // The kernel keeps 15 bytes of a thread's name; a longer one would be refused whole.
    char name[16] = {};
    strncpy(name, "com.balvik.quellix.mac.MachExceptionServer", sizeof name - 1);
    pthread_setname_np(pthread_self(), name);
    if (state == nullptr || state->port == nullptr) return;
    for (;;) {
        QXMachExceptionRequest request;
        memset(&request, 0, sizeof request);
        const int received = state->port->receive(&request, sizeof request);
        if (received != 0) {
            QXLogWarn("Error receving mach_msg (%d)\n", received);
            QXLogWarn("Mach exception server thread exiting\n");
            return;
        }
        QXLogWarn("Accepted mach exception message\n");
        const int32_t code = QXMachExceptionDispatchMessage(state, request);
        const QXMachExceptionReply reply = QXMachExceptionMakeReply(request, code);
        QXLogWarn("Sending exception reply\n");
        const int sent = state->port->send(&reply, sizeof reply);
        if (sent != 0) {
            QXLogWarn("mach_msg reply failed (%d)\n", sent);
            QXLogWarn("Mach exception server thread exiting\n");
            return;
        }
        QXLogWarn("Exception reply delivered\n");
    }
}

}  // namespace wv
