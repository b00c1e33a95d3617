#include "sdk/crash/context/QXContextInitialize.h"

#include <signal.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iterator>
#include <memory>
#include <optional>
#include <string>

#include "platform/dispatch/DispatchGroup.h"
#include "platform/dispatch/GlobalQueue.h"
#include "platform/dispatch/SerialQueue.h"
#include "platform/foundation/Log.h"
#include "sdk/core/TRNApplication.h"
#include "sdk/crash/context/QXAllocator.h"
#include "sdk/crash/context/QXApplication.h"
#include "sdk/crash/context/QXContext.h"
#include "sdk/crash/context/QXFile.h"
#include "sdk/crash/context/QXHost.h"
#include "sdk/crash/context/QXProcess.h"
#include "sdk/crash/context/QXSDKLog.h"
#include "sdk/crash/context/QXUserLoggingStorage.h"
#include "sdk/crash/context/QXUtility.h"

namespace wv {
namespace {

void* zeroed(uint64_t size, int region) {
    void* p = QXAllocatorSafeAllocate(qxAllocator, size, region);
    if (p != nullptr) memset(p, 0, size);
    return p;
}

// Init data whose strings it owns.
struct OwnedInitData {
    explicit OwnedInitData(const QXContextInitData& from) : data(from) {
        const char** fields[] = {&data.apiKey,
                                 &data.customBundleID,
                                 &data.reportDirectory,
                                 &data.executionIdentifier,
                                 &data.installationIdentifier,
                                 &data.betaToken};
        for (size_t i = 0; i < std::size(fields); ++i) {
            strings[i] = *fields[i] ? std::optional<std::string>(*fields[i]) : std::nullopt;
            *fields[i] = strings[i] ? strings[i]->c_str() : nullptr;
        }
    }
    OwnedInitData(const OwnedInitData&) = delete;
    OwnedInitData& operator=(const OwnedInitData&) = delete;
    const char* root() const { return data.reportDirectory; }

    QXContextInitData data;
    std::optional<std::string> strings[6];
};

void initializeLoggingStorage(const char* root, const QXContextInitData& data) {
    auto path = [root](const char* name) { return QXContextAppendToRoot(root, name); };
    auto& logging = qxContext->logging;
    auto& counters = qxWritableContext->logging;
    logging.errorStorage = {path("errors_a.qxrecord"),
                            path("errors_b.qxrecord"),
                            0,
                            data.errorReportingEnabled ? data.maxCustomExceptions : 0,
                            false,
                            &counters.errorsCount};
    logging.logStorage = {path("log_a.qxrecord"), path("log_b.qxrecord"), data.logBufferSize, 0,
                          true, nullptr};
    logging.customExceptionStorage = {path("custom_exception_a.qxrecord"),
                                      path("custom_exception_b.qxrecord"),
                                      0,
                                      data.maxCustomExceptions,
                                      false,
                                      &counters.customExceptionCount};
    logging.userKVStorage = {path("user_incremental_kv.qxrecord"),
                             path("user_compacted_kv.qxrecord"),
                             kQXUserLoggingMaxIncrementalEntries, data.maxCustomKeys};
    logging.internalKVStorage = {path("internal_incremental_kv.qxrecord"),
                                 path("internal_compacted_kv.qxrecord"),
                                 kQXUserLoggingMaxIncrementalEntries,
                                 kQXUserLoggingInternalMaxCompactedEntries};
    QXUserLoggingInitStorage();
}

QXContextInstallers installers{};

void installAlternateStack() {
    stack_t stack{};
    stack.ss_sp = qxContext->signalStack;
    stack.ss_size = kQXStackSize;
    stack_t previous{};
    if (stack.ss_sp == nullptr || sigaltstack(&stack, &previous) != 0) {
        QXLogWarn("Unable to setup stack %s\n", strerrordesc_np(errno));
        return;
    }
    if (!(previous.ss_flags & SS_DISABLE)) qxContext->signal.previousStack = previous;
}

}  // namespace

void QXContextSetInstallers(const QXContextInstallers& given) { installers = given; }

const QXContextInstallers& QXContextGetInstallers() { return installers; }

const char* QXContextAppendToRoot(const char* root, const char* name) {
    std::string path = (std::filesystem::path(root) / name).string();
    return QXUtilityDuplicateString(path.c_str());
}

void QXContextBaseInit() {
    qxLoggingQueue = new SerialQueue("com.balvik.quellix.mac.logging");
    qxBinaryImagesQueue = new SerialQueue("com.balvik.quellix.mac.binary-images");
    qxExceptionQueue = new SerialQueue("com.balvik.quellix.mac.exception");
    QXUtilityInitialize();
    qxAllocator = QXAllocatorCreate(kQXWritableBytes, kQXProtectedBytes);
    auto* context = static_cast<QXReadOnlyContext*>(
        zeroed(sizeof(QXReadOnlyContext), QXAllocationRegionProtected));
    void* machStack = zeroed(kQXStackSize, QXAllocationRegionWritable);
    void* signalStack = zeroed(kQXStackSize, QXAllocationRegionWritable);
    auto* writable = static_cast<QXWritableContext*>(
        zeroed(sizeof(QXWritableContext), QXAllocationRegionWritable));
    context->machStack = machStack;
    context->signalStack = signalStack;
    writable->logDescriptor = -1;
    writable->logMinimumLevel = QXSDKLogLevelDebug;
    writable->crashed = 0;
    writable->binaryImagesFile.descriptor = -1;
    context->initialized = 0;
    qxWritableContext = writable;
    __atomic_store_n(&qxContext, context, __ATOMIC_SEQ_CST);
    __atomic_thread_fence(__ATOMIC_SEQ_CST);
}

bool QXContextInitialize(const QXContextInitData* initData) {
    if (initData == nullptr) return false;
    QXContextBaseInit();
    DispatchGroup group;
    GlobalQueue& global = GlobalQueue::shared();
    const char* root = initData->reportDirectory;
    if (root == nullptr) return false;

    qxContext->logPath = QXContextAppendToRoot(root, "sdk.log");
    if (!QXUtilityUnlinkIfExists(qxContext->logPath)) {
        Log::system(std::string("[Quellix:Crash] Unable to write initialize SDK write paths ") +
                    strerror(errno));
    }
    qxContext->debuggerAttached = QXProcessDebuggerAttached();
    qxContext->exceptionRecordedObject = initData->exceptionRecordedObject;
    qxContext->crashCallbackObject = initData->crashCallbackObject;
    qxContext->firstInstall = initData->firstInstall;

    // The blocks may outlive this call (the wait below can time out), so they own copies of
    // every string they read; the caller's init data need not stay alive.
    auto owned = std::make_shared<OwnedInitData>(*initData);
    group.async(global, [] { QXHostInitialize(); });
    group.async(global, [owned] { initializeLoggingStorage(owned->root(), owned->data); });
    group.async(global, [owned] {
        qxContext->binaryImagesPath =
            QXContextAppendToRoot(owned->root(), "binary_images.qxrecord");
        if (installers.binaryImages) installers.binaryImages();
    });
    if (!qxContext->debuggerAttached) {
        installAlternateStack();
        group.async(global, [owned] {
            qxContext->signal.path = QXContextAppendToRoot(owned->root(), "signal.qxrecord");
            if (installers.signals) installers.signals();
        });
        group.async(global, [owned] {
            qxContext->machException.path =
                QXContextAppendToRoot(owned->root(), "mach_exception.qxrecord");
            qxContext->machException.mask = owned->data.machExceptionMask;
            if (installers.machExceptions) installers.machExceptions(owned->data.machExceptionMask);
        });
        group.async(global, [owned] {
            qxContext->exception.path = QXContextAppendToRoot(owned->root(), "exception.qxrecord");
            if (installers.exceptions) installers.exceptions();
        });
    } else {
        QXLogWarn("Debugger present - not installing handlers\n");
    }
    group.async(global, [owned] { QXContextRecordMetadata(owned->root(), &owned->data); });

    group.notify(global, [] {
        qxContext->initialized = 1;
        __atomic_thread_fence(__ATOMIC_SEQ_CST);
        if (!QXAllocatorProtect(qxAllocator)) QXLogWarn("Error: Memory protection failed\n");
    });
    if (!group.waitFor(kQXInitializationWait)) QXLogWarn("Error: Delayed initialization\n");
    return true;
}

void QXContextRecordMetadata(const char* reportDirectory, const QXContextInitData* initData) {
    std::string path = (std::filesystem::path(reportDirectory) / "metadata.qxrecord").string();
    if (!QXUtilityUnlinkIfExists(path.c_str())) {
        QXLogWarn("Unable to unlink existing metadata file %s\n", strerrordesc_np(errno));
    }
    QXFile file;
    if (!QXFileInitWithPath(&file, path.c_str(), false)) {
        QXLogWarn("Unable to open metadata file %s\n", path.c_str());
        QXLogWarn("Unable to record context metadata\n");
        return;
    }
    QXFileWriteSectionStart(&file, "identity");
    QXFileWriteHashStart(&file);
    QXFileWriteHashEntryString(&file, "generator", "Quellix Mac SDK/3.10.1");
    QXFileWriteHashEntryString(&file, "build_version", "129");
    QXFileWriteHashEntryString(&file, "display_version", "3.10.1");
    QXFileWriteHashEntryString(&file, "api_key", initData->apiKey);
    QXFileWriteHashEntryUint64(&file, "started_at", static_cast<uint64_t>(time(nullptr)));
    QXFileWriteHashEntryString(&file, "session_id", initData->executionIdentifier);
    QXFileWriteHashEntryString(&file, "install_id", initData->installationIdentifier);
    QXFileWriteHashEntryString(&file, "beta_token", initData->betaToken);
    QXFileWriteHashEntryBoolean(&file, "absolute_log_timestamps", true);
    QXFileWriteHashEnd(&file);
    QXFileWriteSectionEnd(&file);

    if (!QXHostWriteMetadata(&file)) QXLogWarn("Unable to write out host metadata\n");

    QXFileWriteSectionStart(&file, "application");
    QXFileWriteHashStart(&file);
    QXFileWriteHashEntryNSString(&file, "bundle_id", TRNApplicationBundleIdentifier());
    QXFileWriteHashEntryString(&file, "custom_bundle_id", initData->customBundleID);
    QXFileWriteHashEntryNSString(&file, "build_version", TRNApplicationBuildVersion());
    QXFileWriteHashEntryNSString(&file, "display_version", TRNApplicationDisplayVersion());
    QXFileWriteHashEntryNSString(&file, "extension_id", QXApplicationExtensionPointIdentifier());
    QXFileWriteHashEnd(&file);
    QXFileWriteSectionEnd(&file);
    if (installers.recordExecutable && !installers.recordExecutable(&file))
        QXLogWarn("Unable to write out executable metadata\n");
    QXFileClose(&file);
}

}  // namespace wv
