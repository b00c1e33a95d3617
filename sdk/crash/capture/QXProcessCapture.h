#pragma once

// What the process looked like when it crashed: every thread with its registers and walked
// stack, the runtime line, the queue labels and kernel names of the threads, and memory and
// processor statistics, appended to an open record file after the crash cause line.
//
// Threads are named by their kernel thread id. Crash-time contract (everything here):
// async-signal-safe, no heap, no lock, no stdio; foreign memory only through the safe reads.

#include <sys/types.h>
#include <ucontext.h>

#include <cstdint>

#include "sdk/crash/context/QXFile.h"
#include "sdk/crash/context/QXMachineContext.h"

namespace wv {

struct QXProcess {
    pid_t task;
    pid_t handlerThread;
    pid_t crashedThread;
    pid_t* threads;
    uint32_t threadCount;
    // The signal handler's ucontext_t, 0 when the crash came some other way.
    uint64_t signalContext;
};

// False (thread count 0) when /proc/self/task cannot be listed. The list lives in one static
// buffer: there is one recorder at a time.
bool QXProcessInit(QXProcess* process, pid_t crashedThread, const ucontext_t* signalContext);
bool QXProcessSuspendAllOtherThreads(QXProcess* process);
bool QXProcessResumeAllOtherThreads(QXProcess* process);
// The crashed thread's registers come from the signal context, the handler thread's are made
// up at this call, every other thread's are those it stored when it parked.
bool QXProcessGetThreadState(const QXProcess* process, pid_t thread, QXMachineContext* out);

bool QXProcessRecordAllThreads(const QXProcess* process, QXFile* file);
bool QXProcessRecordRuntimeInfo(const QXProcess* process, QXFile* file);
bool QXProcessRecordDispatchQueueNames(const QXProcess* process, QXFile* file);
bool QXProcessRecordThreadNames(const QXProcess* process, QXFile* file);
bool QXProcessRecordStats(const QXProcess* process, QXFile* file);

// Bytes from /proc/meminfo: Active, Inactive, Unevictable (the memory that cannot be paged
// out, as close as Linux comes to "wired") and MemFree.
bool QXProcessGetMemoryUsage(uint64_t* active, uint64_t* inactive, uint64_t* wired,
                             uint64_t* freeMemory);
// The same over any meminfo text (tests).
bool QXProcessParseMemoryUsage(const char* text, uint64_t* active, uint64_t* inactive,
                               uint64_t* wired, uint64_t* freeMemory);
// Virtual and resident bytes from /proc/self/statm, user and system time in microseconds.
bool QXProcessGetInfo(pid_t task, uint64_t* virtualBytes, uint64_t* residentBytes,
                      uint64_t* userMicroseconds, uint64_t* systemMicroseconds);
// Releases nothing (the list is static) and says so with false.
bool QXProcessDestroy(QXProcess* process);

// Writes `registers`, `stacktrace` and, for a recursing stack, `repeated_pc` and
// `repeat_count`, for one thread starting from its registers (exposed for tests).
void QXProcessRecordThreadStack(QXFile* file, const QXMachineContext& context);

}  // namespace wv
