#pragma once

// Language exceptions: the C++ terminate handler and the application's report of a
// PlatformException that escaped an event handler, each recorded into "exception.qxrecord"
// with every thread before the process goes on to end as it would have.
//
// Not crash-time code in the signal sense: the terminate handler runs on an ordinary thread,
// so it may allocate; the record itself is written on the exception queue.

#include <cstdint>
#include <string>

#include "platform/foundation/PlatformException.h"
#include "sdk/crash/capture/QXStackFrame.h"
#include "sdk/crash/context/QXFile.h"

namespace wv {

enum QXExceptionType : int {
    QXExceptionTypePlatform = 1,
    QXExceptionTypeCpp = 2,
    QXExceptionTypeJavaScript = 3,
    QXExceptionTypeCustom = 4,
};

void QXExceptionInitialize();
[[noreturn]] void QXTerminateHandler();
// Replaces the application's reporter while it lives: records, then hands on to the reporter
// that was there before.
void QXExceptionPlatformReportException(const PlatformException& exception);
void QXExceptionRecordPlatformException(const PlatformException& exception);
void QXExceptionRecord(int type, const char* name, const char* reason, const QXStackFrame* frames,
                       uint32_t frameCount, bool notify);
// The exception line alone.
void QXExceptionWrite(QXFile* file, int type, const char* name, const char* reason,
                      const QXStackFrame* frames, uint32_t frameCount);
const char* QXExceptionTypeName(int type);
// The start-up warnings, through the system log.
void QXExceptionCheckHandlers();
bool QXExceptionCrashOnExceptionsEnabled();
std::string QXExceptionDemangle(const char* mangled);

[[noreturn]] void QXExceptionRaiseTestPlatformException();
[[noreturn]] void QXExceptionRaiseTestCppException();

// Tests only: records the exception in flight as the terminate handler would, without
// chaining or aborting.
void QXCatchAndRecordActiveException();

}  // namespace wv
