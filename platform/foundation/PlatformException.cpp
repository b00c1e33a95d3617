#include "platform/foundation/PlatformException.h"

#include <execinfo.h>

#include <atomic>
#include <cstdlib>

#include "platform/foundation/Log.h"

namespace wv {
namespace {
std::atomic<PlatformException::Reporter> currentReporter{&PlatformException::defaultReporter};
std::atomic<bool> crashOnExceptionsFlag{false};
}  // namespace

PlatformException::PlatformException(std::string name, std::string reason)
    : name_(std::move(name)), reason_(std::move(reason)) {
    void* frames[128];
    const int count = backtrace(frames, 128);
    // The first entry is this constructor itself: the stack begins at whoever made it.
    for (int i = 1; i < count; ++i) addresses_.push_back(reinterpret_cast<uintptr_t>(frames[i]));
}

void PlatformException::reportException(const PlatformException& exception) {
    currentReporter.load()(exception);
}

PlatformException::Reporter PlatformException::setReporter(Reporter reporter) {
    return currentReporter.exchange(reporter ? reporter : &PlatformException::defaultReporter);
}

PlatformException::Reporter PlatformException::reporter() { return currentReporter.load(); }

void PlatformException::defaultReporter(const PlatformException& exception) {
    Log::system("*** " + exception.name() + ": " + exception.reason());
    if (crashOnExceptionsFlag.load()) abort();
}

void PlatformException::setCrashOnExceptions(bool crash) { crashOnExceptionsFlag = crash; }

bool PlatformException::crashOnExceptions() { return crashOnExceptionsFlag.load(); }

}  // namespace wv
