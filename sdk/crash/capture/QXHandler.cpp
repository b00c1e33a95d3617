#include "sdk/crash/capture/QXHandler.h"

#include "sdk/crash/capture/QXProcessCapture.h"
#include "sdk/crash/context/QXContext.h"
#include "sdk/crash/context/QXHost.h"
#include "sdk/crash/context/QXSDKLog.h"

namespace wv {
namespace {
void (*faultHook)() = nullptr;
}

void QXHandlerSetFaultHookForTesting(void (*hook)()) { faultHook = hook; }

void QXHandler(QXFile* file, pid_t crashedThread, const ucontext_t* userContext) {
    QXProcess process{};
    QXProcessInit(&process, crashedThread, userContext);
    if (!QXProcessSuspendAllOtherThreads(&process)) QXLogWarn("Not every thread could be parked\n");
    QXProcessRecordAllThreads(&process, file);
    // The lines so far must reach the file before anything that may still go wrong.
    QXFileFlushLineStage(file);
    if (faultHook != nullptr) faultHook();
    QXProcessRecordRuntimeInfo(&process, file);
    QXProcessRecordDispatchQueueNames(&process, file);
    QXProcessRecordThreadNames(&process, file);
    QXProcessRecordStats(&process, file);
    QXHostWriteDiskUsage(file);
    QXFileFlushLineStage(file);
    QXProcessResumeAllOtherThreads(&process);
    QXProcessDestroy(&process);
    if (QXIsValidPointer(qxContext) && QXIsValidPointer(qxContext->crashCallbackObject)) {
        QXLogWarn("Performing syncrhonous crash callback - hold onto your butts\n");
        static_cast<QXCrashCallback*>(qxContext->crashCallbackObject)
            ->deliverCrashDelegateCallback();
    }
}

void QXHandlerPotentiallySubmittableCrash() {
    if (!QXIsValidPointer(qxContext) || !QXIsValidPointer(qxContext->exceptionRecordedObject))
        return;
    static_cast<QXExceptionRecordedObserver*>(qxContext->exceptionRecordedObject)
        ->potentiallySubmittableCrashOccurred();
}

}  // namespace wv
