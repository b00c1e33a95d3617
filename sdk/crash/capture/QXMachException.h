#pragma once

// The exception server of a kernel that reports faults as messages before it turns them into
// signals: it receives a request, puts the previous ports and signal actions back, records
// "mach_exception.qxrecord" with every thread, and replies so the fault takes its ordinary
// course. Linux reports faults as signals only: QXMachExceptionInit removes a stale record and
// installs nothing, and the server runs only over a port a caller hands in.

#include <cstdint>

#include "sdk/crash/capture/QXMachPort.h"

namespace wv {

inline constexpr uint32_t kQXMachMaskBadAccess = 2;
inline constexpr uint32_t kQXMachMaskBadInstruction = 4;
inline constexpr uint32_t kQXMachMaskArithmetic = 8;
inline constexpr uint32_t kQXMachMaskBreakpoint = 64;
inline constexpr uint32_t kQXMachMaskCrash = 1024;
inline constexpr uint32_t kQXMachMaskGuard = 4096;
inline constexpr uint32_t kQXMachMaxSavedPorts = 14;
inline constexpr int32_t kQXMachReplyFailure = 5;

#pragma pack(push, 4)
struct QXMachMessageHeader {
    uint32_t bits;
    uint32_t size;
    uint32_t remotePort;
    uint32_t localPort;
    uint32_t voucherPort;
    int32_t id;
};
struct QXMachPortDescriptor {
    uint32_t name;
    uint32_t pad1;
    uint16_t pad2;
    uint8_t disposition;
    uint8_t type;
};
// The 64-bit-code raise request as received, with room for the kernel's trailer.
struct QXMachExceptionRequest {
    QXMachMessageHeader header;
    uint32_t descriptorCount;
    QXMachPortDescriptor thread;
    QXMachPortDescriptor task;
    uint8_t ndr[8];
    int32_t exception;
    uint32_t codeCount;
    int64_t codes[2];
    uint8_t trailer[8];
};
struct QXMachExceptionReply {
    QXMachMessageHeader header;
    uint8_t ndr[8];
    int32_t returnCode;
};
#pragma pack(pop)
static_assert(sizeof(QXMachExceptionRequest) == 92);
static_assert(sizeof(QXMachExceptionReply) == 36);

struct QXMachExceptionState {
    QXMachPort* port;
    uint32_t exceptionPort;
    uint32_t mask;
    uint32_t savedCount;
    uint32_t savedMasks[kQXMachMaxSavedPorts];
    uint32_t savedPorts[kQXMachMaxSavedPorts];
    uint32_t savedBehaviors[kQXMachMaxSavedPorts];
    uint32_t savedFlavors[kQXMachMaxSavedPorts];
};

// Linux: removes a stale "mach_exception.qxrecord"; no port exists to take.
void QXMachExceptionInit(uint32_t exclusionMask);
uint32_t QXMachExceptionBaseMask(uint32_t osVersionCode);
uint32_t QXMachExceptionInstalledMask(uint32_t osVersionCode, uint32_t exclusionMask);
uint32_t QXMachExceptionMaskForSignal(int signal);

const char* QXMachExceptionName(int32_t exception);
// From the first code (0 when none was sent); none when the exception has no code names.
const char* QXMachExceptionCodeName(int32_t exception, int64_t firstCode);

bool QXMachExceptionUnregister(QXMachExceptionState* state, uint32_t mask);
// Receives and answers requests until a receive or a reply fails.
void QXMachExceptionServer(QXMachExceptionState* state);
// One request: the return code of its reply (0 after a record, 5 on every failure).
int32_t QXMachExceptionDispatchMessage(QXMachExceptionState* state,
                                       const QXMachExceptionRequest& request);
QXMachExceptionReply QXMachExceptionMakeReply(const QXMachExceptionRequest& request,
                                              int32_t returnCode);

}  // namespace wv
