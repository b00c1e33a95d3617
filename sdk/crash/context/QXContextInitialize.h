#pragma once

// Builds the crash context once per launch: the records of QXContext.h in allocator memory,
// the run's metadata.qxrecord, the handlers (started concurrently on the global pool), and
// finally the write protection of the read-only part. Runs at start-up, not at crash time.

#include <cstdint>

#include "sdk/crash/context/QXBinaryImageNode.h"

namespace wv {

struct QXFile;

// What the layers above the context contribute to initialisation: image tracking, the three
// crash paths and the executable's metadata line. They live above this library, so the
// program (or a test) hands them in before initialising; an absent one is skipped.
struct QXContextInstallers {
    void (*binaryImages)();
    void (*signals)();
    void (*machExceptions)(uint32_t exclusionMask);
    void (*exceptions)();
    bool (*recordExecutable)(QXFile* file);
};
void QXContextSetInstallers(const QXContextInstallers& installers);
const QXContextInstallers& QXContextGetInstallers();

// Handed over by the crash reporting controller, zeroed first.
struct QXContextInitData {
    const char* apiKey;
    void* exceptionRecordedObject;
    uint8_t firstInstall;
    void* crashCallbackObject;
    const char* customBundleID;
    const char* reportDirectory;
    const char* executionIdentifier;
    const char* installationIdentifier;
    const char* betaToken;
    uint32_t machExceptionMask;
    uint8_t errorReportingEnabled;
    uint8_t customExceptionsEnabled;
    uint32_t maxCustomExceptions;
    uint32_t errorLogBufferSize;
    uint32_t logBufferSize;
    uint32_t maxCustomKeys;
};

// Bytes asked of the allocator: both stacks and the writable record (with its image table);
// the read-only record and room for the path strings.
inline constexpr uint64_t kQXWritableBytes =
    544872 + sizeof(QXBinaryImageNode) * kQXBinaryImageNodeCount;
inline constexpr uint64_t kQXProtectedBytes = 17064;
inline constexpr double kQXInitializationWait = 5.0;

// False for absent init data or an absent report directory; true otherwise, also when the
// handlers are still starting after the five-second wait. The signal alternate stack is
// installed on the calling thread (alternate stacks are per thread).
bool QXContextInitialize(const QXContextInitData* initData);
// Queues, allocator and both records, zeroed; idempotent only in the sense that a second call
// builds a second set (tests).
void QXContextBaseInit();
// root + "/" + name, copied into the protected region.
const char* QXContextAppendToRoot(const char* root, const char* name);
void QXContextRecordMetadata(const char* reportDirectory, const QXContextInitData* initData);

}  // namespace wv
