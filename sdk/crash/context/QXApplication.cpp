#include "sdk/crash/context/QXApplication.h"

#include <time.h>

#include <mutex>

#include "platform/foundation/ClassRegistry.h"
#include "platform/foundation/ProcessInfo.h"
#include "platform/plist/BundleInfo.h"
#include "sdk/crash/context/QXSDKLog.h"

namespace wv {
namespace {

uint64_t monotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000ull + static_cast<uint64_t>(now.tv_nsec);
}

std::mutex gTimebaseMutex;
QXTimebase gTimebase{monotonicNanoseconds, 1, 1};

QXTimebase currentTimebase() {
    std::lock_guard lock(gTimebaseMutex);
    return gTimebase;
}

}  // namespace

std::optional<std::string> QXApplicationExtensionPointIdentifier() {
    std::shared_ptr<const BundleInfo> info = BundleInfo::main();
    const plist::Value* extension =
        info ? info->objectForInfoDictionaryKey("NSExtension") : nullptr;
    if (extension == nullptr) return std::nullopt;
    const plist::Dictionary* dictionary = extension->get<plist::Dictionary>();
    if (dictionary == nullptr) {
        QXLogWarn("Error: NSExtension Info.plist entry is mal-formed\n");
        return std::nullopt;
    }
    const plist::Value* point = dictionary->find("NSExtensionPointIdentifier");
    const std::string* identifier = point ? point->get<std::string>() : nullptr;
    if (identifier == nullptr) {
        QXLogWarn("Error: NSExtensionPointIdentifier Info.plist entry is mal-formed\n");
        return std::nullopt;
    }
    return *identifier;
}

bool QXApplicationIsExtension() { return QXApplicationExtensionPointIdentifier().has_value(); }

std::any QXApplicationSharedApplication() {
    std::any cls = ClassRegistry::shared().classNamed("NSApplication");
    if (!cls.has_value()) return {};
    // A linked application class registers a function that hands out its shared object.
    if (auto* shared = std::any_cast<std::function<std::any()>>(&cls)) return (*shared)();
    return {};
}

std::optional<QXActivityToken> QXApplicationBeginActivity(uint64_t options,
                                                          const std::string& reason) {
    ProcessInfo& process = ProcessInfo::shared();
    if (options & kQXActivitySuddenTerminationDisabled) process.disableSuddenTermination();
    if (options & kQXActivityAutomaticTerminationDisabled)
        process.disableAutomaticTermination(reason);
    return QXActivityToken{options, reason};
}

void QXApplicationEndActivity(const std::optional<QXActivityToken>& token) {
    if (!token) return;
    ProcessInfo& process = ProcessInfo::shared();
    if (token->options & kQXActivitySuddenTerminationDisabled) process.enableSuddenTermination();
    if (token->options & kQXActivityAutomaticTerminationDisabled)
        process.enableAutomaticTermination(token->reason);
}

void QXApplicationActivity(uint64_t options, const std::string& reason,
                           const std::function<void()>& block) {
    std::optional<QXActivityToken> token = QXApplicationBeginActivity(options, reason);
    // The activity ends even when the block throws, or the process would stay pinned.
    struct End {
        const std::optional<QXActivityToken>& token;
        ~End() { QXApplicationEndActivity(token); }
    } end{token};
    if (block) block();
}

QXProfileMark QXProfilingStart() { return currentTimebase().now(); }

double QXProfilingEndInMillis(QXProfileMark mark) {
    QXTimebase timebase = currentTimebase();
    if (timebase.denominator == 0) return 0.0;
    uint64_t nanoseconds = (timebase.now() - mark) * timebase.numerator / timebase.denominator;
    return static_cast<double>(nanoseconds) / 1e6;
}

void QXProfilingSetTimebase(QXTimebase timebase) {
    std::lock_guard lock(gTimebaseMutex);
    if (!timebase.now) timebase = QXTimebase{monotonicNanoseconds, 1, 1};
    gTimebase = std::move(timebase);
}

}  // namespace wv
