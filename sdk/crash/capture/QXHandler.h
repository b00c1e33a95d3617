#pragma once

// The recording step the three crash paths share: every thread, the runtime line, queue and
// thread names, statistics and disk usage, appended to the open record file after its cause
// line, with the other threads parked meanwhile.
//
// Crash-time contract: async-signal-safe, no heap, no lock, no stdio.

#include <sys/types.h>
#include <ucontext.h>

#include "sdk/crash/context/QXFile.h"

namespace wv {

// What the crash reporting controller hands in as the crash callback object: told on the
// crashing thread, synchronously, once the record is whole.
class QXCrashCallback {
  public:
    virtual ~QXCrashCallback() = default;
    virtual void deliverCrashDelegateCallback() = 0;
};

// Told after a language exception was recorded.
class QXExceptionRecordedObserver {
  public:
    virtual ~QXExceptionRecordedObserver() = default;
    virtual void potentiallySubmittableCrashOccurred() = 0;
};

void QXHandler(QXFile* file, pid_t crashedThread, const ucontext_t* userContext);
void QXHandlerPotentiallySubmittableCrash();

// Tests only: called between the `threads` line and the rest, so a test can make the
// recorder itself fault and watch the first lines survive.
void QXHandlerSetFaultHookForTesting(void (*hook)());

}  // namespace wv
