#pragma once

// The threads of this process as the crash recorder sees them: listed from /proc/self/task
// and parked, each in a handler of a real-time signal that stores its registers in a
// preallocated slot and then waits on a futex until the recorder lets it go. Linux cannot
// suspend another thread from outside, so a thread that blocks the park signal, or ends
// before it is delivered, simply stays unparked and has no registers to give.
//
// Crash-time contract (all but QXThreadListInstallParkHandler): async-signal-safe, no heap, no
// lock, no stdio; fixed buffers only. One recorder at a time (the crashed flag sees to that).

#include <sys/types.h>

#include <cstdint>

#include "sdk/crash/context/QXMachineContext.h"

namespace wv {

inline constexpr uint32_t kQXMaxThreads = 1024;
// All parked threads together get this long to answer; a slow one is left running.
inline constexpr int64_t kQXParkWaitNanoseconds = 250'000'000;

// Installs the park handler (start-up only). False when sigaction fails.
bool QXThreadListInstallParkHandler();
bool QXThreadListParkHandlerInstalled();
int QXThreadListParkSignal();

pid_t QXThreadListCurrentTid();
// Up to `capacity` thread ids in the kernel's order; 0 when the list cannot be read.
uint32_t QXThreadListRead(pid_t* out, uint32_t capacity);

// Sends the park signal to every listed thread but `self` and waits for the answers; true
// when every one of them parked.
bool QXThreadListPark(const pid_t* threads, uint32_t count, pid_t self);
// The registers a parked thread stored; false for a thread that did not park.
bool QXThreadListParkedContext(pid_t thread, QXMachineContext* out);
// Lets every parked thread go on; late answers to the park signal return at once.
bool QXThreadListResume();

// The thread's kernel name from /proc/self/task/<tid>/comm, "" when it cannot be read.
void QXThreadListName(pid_t thread, char* out, uint64_t size);

}  // namespace wv
