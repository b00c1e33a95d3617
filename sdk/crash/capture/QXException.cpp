#include "sdk/crash/capture/QXException.h"

#include <cxxabi.h>
#include <errno.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <memory>
#include <typeinfo>
#include <vector>

#include "platform/dispatch/SerialQueue.h"
#include "platform/foundation/Log.h"
#include "platform/plist/UserDefaults.h"
#include "sdk/crash/capture/QXHandler.h"
#include "sdk/crash/capture/QXThreadList.h"
#include "sdk/crash/context/QXContext.h"
#include "sdk/crash/context/QXSDKLog.h"
#include "sdk/crash/context/QXUserLoggingStorage.h"
#include "sdk/crash/context/QXUtility.h"

namespace wv {
namespace {

// Not in the read-only context: the reporter is swapped in when the application exists, which
// may be after that context was protected.
PlatformException::Reporter previousReporter = nullptr;

void recordNamed(const char* name, const char* reason) {
    QXExceptionRecord(QXExceptionTypeCpp, name, reason, nullptr, 0, true);
}

}  // namespace

const char* QXExceptionTypeName(int type) {
    switch (type) {
        case QXExceptionTypePlatform:
            return "objective-c";
        case QXExceptionTypeCpp:
            return "c++";
        case QXExceptionTypeJavaScript:
            return "javascript";
        case QXExceptionTypeCustom:
            return "custom";
        default:
            return "unknown";
    }
}

std::string QXExceptionDemangle(const char* mangled) {
    if (mangled == nullptr) return "";
    int status = 0;
    std::unique_ptr<char, decltype(&free)> demangled(
        abi::__cxa_demangle(mangled, nullptr, nullptr, &status), &free);
    return status == 0 && demangled ? std::string(demangled.get()) : std::string(mangled);
}

bool QXExceptionCrashOnExceptionsEnabled() {
    auto value = UserDefaults::standard().objectForKey("NSApplicationCrashOnExceptions");
    return value && value->is<bool>() && *value->get<bool>();
}

void QXExceptionInitialize() {
    if (!QXIsValidPointer(qxContext)) return;
    if (!QXUtilityUnlinkIfExists(qxContext->exception.path))
        QXLogWarn("Unable to reset the exception file %s\n", strerrordesc_np(errno));
    qxContext->exception.previousTerminateHandler = std::set_terminate(QXTerminateHandler);
    if (QXExceptionCrashOnExceptionsEnabled()) {
        PlatformException::Reporter previous =
            PlatformException::setReporter(QXExceptionPlatformReportException);
        if (previous != QXExceptionPlatformReportException) previousReporter = previous;
    }
    if (QXIsValidPointer(qxWritableContext)) qxWritableContext->logging.customExceptionCount = 0;
}

void QXExceptionPlatformReportException(const PlatformException& exception) {
    QXExceptionRecordPlatformException(exception);
    (previousReporter ? previousReporter : &PlatformException::defaultReporter)(exception);
}

void QXExceptionRecordPlatformException(const PlatformException& exception) {
    QXLogWarn("Recording an NSException\n");
    const auto& addresses = exception.callStackReturnAddresses();
    std::vector<QXStackFrame> frames;
    for (uintptr_t address : addresses)
        frames.push_back(QXStackFrame::stackFrameWithAddress(address));
    QXExceptionRecord(QXExceptionTypePlatform, exception.name().c_str(), exception.reason().c_str(),
                      frames.data(), uint32_t(frames.size()), true);
}

void QXCatchAndRecordActiveException() {
    std::type_info* type = abi::__cxa_current_exception_type();
    if (type == nullptr) {
        QXLogWarn("no active exception\n");
        return;
    }
    if (!QXIsValidPointer(type)) {
        QXLogWarn("Error: invalid parameter\n");
        return;
    }
    QXLogWarn("Recording exception of type '%s'\n", type->name());
    const std::string typeName = QXExceptionDemangle(type->name());
    try {
        std::rethrow_exception(std::current_exception());
    } catch (const PlatformException& e) {
        // Nothing else would record one that never passed the application's reporter, so
        // it is kept here with the frames it carries.
        QXExceptionRecordPlatformException(e);
    } catch (const char* text) {
        recordNamed("const char *", text);
    } catch (const std::string& text) {
        recordNamed("std::string", text.c_str());
    } catch (const std::exception& e) {
        recordNamed(typeName.c_str(), e.what());
    } catch (const std::exception* e) {
        recordNamed(typeName.c_str(), QXIsValidPointer(e) ? e->what() : "");
    } catch (...) {
        recordNamed(typeName.c_str(), "");
    }
}

void QXTerminateHandler() {
    QXLogWarn("C++ terminate handler invoked\n");
    std::terminate_handler chained = nullptr;
    std::terminate_handler previous =
        QXIsValidPointer(qxContext) ? qxContext->exception.previousTerminateHandler : nullptr;
    if (previous == QXTerminateHandler) {
        QXLogWarn("Error: original handler was set recursively\n");
    } else if (previous != nullptr) {
        QXLogWarn("restoring pre-existing handler\n");
        if (std::set_terminate(previous) == previous) {
            QXLogWarn("handler has already been restored, aborting\n");
            abort();
        }
        chained = previous;
    }
    QXCatchAndRecordActiveException();
    if (chained != nullptr) {
        QXLogWarn("invoking pre-existing handler\n");
        chained();
    }
    QXLogWarn("aborting\n");
    abort();
}

void QXExceptionWrite(QXFile* file, int type, const char* name, const char* reason,
                      const QXStackFrame* frames, uint32_t frameCount) {
    QXFileWriteSectionStart(file, "exception");
    QXFileWriteHashStart(file);
    QXFileWriteHashEntryString(file, "type", QXExceptionTypeName(type));
    QXFileWriteHashEntryHexEncodedString(file, "name", name);
    QXFileWriteHashEntryHexEncodedString(file, "reason", reason);
    QXFileWriteHashEntryUint64(file, "time", uint64_t(time(nullptr)));
    if (frames != nullptr && frameCount > 0) {
        QXFileWriteHashKey(file, "frames");
        QXFileWriteArrayStart(file);
        for (uint32_t i = 0; i < frameCount; ++i) {
            const QXStackFrame& f = frames[i];
            QXFileWriteHashStart(file);
            QXFileWriteHashEntryUint64(file, "pc", f.address);
            if (f.symbol) QXFileWriteHashEntryHexEncodedString(file, "symbol", f.symbol->c_str());
            QXFileWriteHashEntryUint64(file, "offset", f.offset);
            if (f.library) QXFileWriteHashEntryHexEncodedString(file, "library", f.library->c_str());
            if (f.fileName)
                QXFileWriteHashEntryHexEncodedString(file, "file", f.fileName->c_str());
            QXFileWriteHashEntryUint64(file, "line", f.lineNumber);
            QXFileWriteHashEnd(file);
        }
        QXFileWriteArrayEnd(file);
    }
    QXFileWriteHashEnd(file);
    QXFileWriteSectionEnd(file);
}

void QXExceptionRecord(int type, const char* name, const char* reason, const QXStackFrame* frames,
                       uint32_t frameCount, bool notify) {
    if (!QXContextIsInitialized()) return;
    const bool crash = type == QXExceptionTypePlatform || type == QXExceptionTypeCpp;
    QXLogWarn("Recording an exception structure (%d, %d)\n", int(notify), int(crash));
    if (crash) {
        const pid_t thrower = QXThreadListCurrentTid();
        auto record = [&] {
            QXFile file;
            if (!QXFileInitWithPath(&file, qxContext->exception.path, false)) {
                QXLogWarn("Unable to open exception file\n");
                return;
            }
            QXExceptionWrite(&file, type, name, reason, frames, frameCount);
            QXFileFlushLineStage(&file);
            QXHandler(&file, thrower, nullptr);
            QXFileClose(&file);
            if (notify) QXHandlerPotentiallySubmittableCrash();
        };
        if (qxExceptionQueue != nullptr)
            qxExceptionQueue->sync(record);
        else
            record();
    } else {
        // Non-fatal: only the exception line, rotated with the run's other custom exceptions.
        QXUserLoggingWriteAndCheckABFiles(
            &qxContext->logging.customExceptionStorage,
            &qxWritableContext->logging.currentCustomExceptionPath, [&](QXFile* file) {
                QXExceptionWrite(file, type, name, reason, frames, frameCount);
            });
    }
    QXLogWarn("Finished recording an exception structure\n");
}

void QXExceptionCheckHandlers() {
    if (!QXExceptionCrashOnExceptionsEnabled()) {
        Log::system(
            "[Quellix:Crash] Warning: NSApplicationCrashOnExceptions is not set. This will "
            "result in poor top-level uncaught exception reporting.");
    }
    if (QXIsValidPointer(qxContext) && qxContext->debuggerAttached) return;
    std::terminate_handler current = std::get_terminate();
    if (current != QXTerminateHandler) {
        std::string symbol = "unknown", image = "unknown";
        QXLookupSymbolInfo(reinterpret_cast<uintptr_t>(current), [&](const char* s, const char* i) {
            if (s) symbol = s;
            if (i) image = i;
        });
        Log::system("[Quellix:Crash] Warning: std::get_terminate is '" + symbol + "' in '" + image +
                    "'");
    }
    if (QXExceptionCrashOnExceptionsEnabled() &&
        PlatformException::reporter() != QXExceptionPlatformReportException) {
        Log::system(
            "[Quellix:Crash] Warning: top-level NSApplication-reported exceptions cannot be "
            "intercepted");
    }
}

void QXExceptionRaiseTestPlatformException() {
    throw PlatformException("QuellixTestException",
                            "This is an Objective-C exception using for testing.");
}

void QXExceptionRaiseTestCppException() { throw "Quellix C++ Test Exception"; }

}  // namespace wv
