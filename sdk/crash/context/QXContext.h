#pragma once

// The two process-wide records every crash-time path reaches its state through.
//
// Crash-time contract (every function here): async-signal-safe, no heap, no lock, no stdio;
// a context pointer below 4096 counts as absent.

#include <signal.h>

#include <cstdint>

#include "sdk/crash/context/QXBinaryImageNode.h"
#include "sdk/crash/context/QXFile.h"
#include "sdk/crash/context/QXUserLoggingStorage.h"

namespace wv {

class SerialQueue;
struct QXAllocator;

inline constexpr uintptr_t kQXInvalidAddressLimit = 4096;
inline constexpr uint64_t kQXStackSize = 262144;

// Written during initialisation only; write-protected once it ends.
struct QXReadOnlyContext {
    uint8_t initialized;
    uint8_t debuggerAttached;
    const char* logPath;
    void* signalStack;
    void* machStack;
    void* exceptionRecordedObject;
    void* crashCallbackObject;
    // 64 bits, not the init data's 8, so the atomics of later readers stay aligned.
    uint64_t firstInstall;
    const char* binaryImagesPath;
    struct {
        const char* path;
        void (*previousTerminateHandler)();
    } exception;
    struct {
        const char* documentDirectory;
        uint64_t pageSize;
    } host;
    struct {
        const char* path;
        // One per handled signal, in their order; a zeroed one stands for the default.
        struct sigaction previous[7];
        // The alternate stack the main thread had before ours; ss_sp none when there was none.
        stack_t previousStack;
    } signal;
    struct {
        const char* path;
        uint32_t mask;
    } machException;
    // User logging's stores; the counters and current-file slots sit in the writable context.
    struct {
        QXUserLoggingKVStorage userKVStorage;
        QXUserLoggingKVStorage internalKVStorage;
        QXUserLoggingABStorage logStorage;
        QXUserLoggingABStorage errorStorage;
        QXUserLoggingABStorage customExceptionStorage;
    } logging;
};

// Changes at crash time and on the logging and binary-image queues.
struct QXWritableContext {
    int32_t logDescriptor;
    int32_t logMinimumLevel;
    uint8_t crashed;
    // The thread that won the crashed flag and records; 0 before any crash.
    int32_t recordingThread;
    // Set once the record is whole: a later fatal signal on another thread waits for it.
    uint32_t recordFinished;
    QXFile binaryImagesFile;
    struct {
        const char* currentLogPath;
        const char* currentErrorsPath;
        const char* currentCustomExceptionPath;
        uint32_t userIncrementalCount;
        uint32_t internalIncrementalCount;
        uint32_t errorsCount;
        uint32_t customExceptionCount;
    } logging;
    QXBinaryImageNode binaryImages[kQXBinaryImageNodeCount];
};

// Set once by the base initialisation; never freed.
extern QXReadOnlyContext* qxContext;
extern QXWritableContext* qxWritableContext;
extern QXAllocator* qxAllocator;
extern SerialQueue* qxLoggingQueue;       // "com.balvik.quellix.mac.logging"
extern SerialQueue* qxBinaryImagesQueue;  // "com.balvik.quellix.mac.binary-images"
extern SerialQueue* qxExceptionQueue;     // "com.balvik.quellix.mac.exception"

// True for a pointer that may be followed: at or above 4096.
inline bool QXIsValidPointer(const void* p) {
    return reinterpret_cast<uintptr_t>(p) >= kQXInvalidAddressLimit;
}

// The initialised flag is set by a block that may finish after initialisation returned, so
// every reader passes a full barrier first.
bool QXContextIsInitialized();
// The one cross-thread handshake at crash time: true when another path crashed first.
bool QXContextMarkAndCheckIfCrashed();
bool QXContextHasCrashed();

}  // namespace wv
