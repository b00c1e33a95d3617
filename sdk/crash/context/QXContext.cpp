#include "sdk/crash/context/QXContext.h"

namespace wv {

QXReadOnlyContext* qxContext = nullptr;
QXWritableContext* qxWritableContext = nullptr;
QXAllocator* qxAllocator = nullptr;
SerialQueue* qxLoggingQueue = nullptr;
SerialQueue* qxBinaryImagesQueue = nullptr;
SerialQueue* qxExceptionQueue = nullptr;

bool QXContextIsInitialized() {
    __atomic_thread_fence(__ATOMIC_SEQ_CST);
    return QXIsValidPointer(qxContext) && qxContext->initialized != 0;
}

bool QXContextMarkAndCheckIfCrashed() {
    __atomic_thread_fence(__ATOMIC_SEQ_CST);
    if (!QXContextIsInitialized() || !QXIsValidPointer(qxWritableContext)) return false;
    bool wasSet = __atomic_test_and_set(&qxWritableContext->crashed, __ATOMIC_SEQ_CST);
    __atomic_thread_fence(__ATOMIC_SEQ_CST);
    return wasSet;
}

bool QXContextHasCrashed() {
    if (!QXContextIsInitialized() || !QXIsValidPointer(qxWritableContext)) return false;
    return __atomic_load_n(&qxWritableContext->crashed, __ATOMIC_SEQ_CST) != 0;
}

}  // namespace wv
