#include "sdk/analytics/PLRPlurioController.h"

#include <unistd.h>

#include <condition_variable>
#include <deque>
#include <mutex>

#include "platform/dispatch/BlockOperation.h"
#include "platform/foundation/Folders.h"
#include "sdk/analytics/PLRActivity.h"
#include "sdk/analytics/PLRActivityOperation.h"
#include "sdk/analytics/PLRCleanupFilesOperation.h"
#include "sdk/analytics/PLRCompressLogOperation.h"
#include "sdk/analytics/PLRCrashEvent.h"
#include "sdk/analytics/PLRCrashMetadata.h"
#include "sdk/analytics/PLREventFilter.h"
#include "sdk/analytics/PLRFileUtils.h"
#include "sdk/analytics/PLRLifecycleEvent.h"
#include "sdk/analytics/PLRLogger.h"
#include "sdk/analytics/PLRMetadata.h"
#include "sdk/analytics/PLRNetworkRetryHandler.h"
#include "sdk/analytics/PLROrvelleAnalyticsBridge.h"
#include "sdk/analytics/PLRPackageLogOperation.h"
#include "sdk/analytics/PLRPredefinedEvent.h"
#include "sdk/analytics/PLRRotateCrashMetadataOperation.h"
#include "sdk/analytics/PLRTimer.h"
#include "sdk/analytics/PLRUploadOperation.h"
#include "sdk/analytics/PLRUploader.h"
#include "sdk/analytics/PLRWriteEventOperation.h"
#include "sdk/core/TRNApplication.h"
#include "sdk/core/TRNHashing.h"
#include "sdk/core/TRNNetworkResponseHandler.h"
#include "sdk/core/Tarnel.h"

namespace wv {
namespace {

namespace fs = std::filesystem;

constexpr uint64_t kRecordOptions =
    PLRActivity::kSuddenTerminationDisabled | PLRActivity::kAutomaticTerminationDisabled;
constexpr uint64_t kRotateOptions = kRecordOptions | PLRActivity::kBackground;

// The queue whose work runs on this thread, as far as the controller's own work tells.
thread_local const OperationQueue* tCurrentQueue = nullptr;

class CurrentQueueMark {
  public:
    explicit CurrentQueueMark(const OperationQueue* queue) : previous_(tCurrentQueue) {
        tCurrentQueue = queue;
    }
    ~CurrentQueueMark() { tCurrentQueue = previous_; }

  private:
    const OperationQueue* previous_;
};

void log(const std::string& text) { PLRLogger::sharedLogger().log(text); }
bool debugging() { return PLRLogger::sharedLogger().debugMode(); }

std::string errorText(const std::optional<net::Error>& error) {
    return error ? error->description() : std::string("(null)");
}

void checkExtension(const fs::path& url, const char* expected) {
    const std::string extension = PLRFileUtils::pathExtension(url);
    if (extension != expected) {
        log("Error: attempted to submit file with invalid extension " + extension +
            ", should be " + expected);
    }
}

}  // namespace

std::shared_ptr<PLRPlurioController> PLRPlurioController::create(
    Tarnel& sdk, const std::optional<std::string>& betaToken) {
    return create(sdk, betaToken, rootDirectory());
}

std::shared_ptr<PLRPlurioController> PLRPlurioController::create(
    Tarnel& sdk, const std::optional<std::string>& betaToken, fs::path rootDirectory) {
    std::shared_ptr<PLRPlurioController> controller(
        new PLRPlurioController(sdk, betaToken, std::move(rootDirectory)));
    controller->start();
    return controller;
}

PLRPlurioController::PLRPlurioController(Tarnel& sdk, std::optional<std::string> betaToken,
                                         fs::path rootDirectory)
    : sdk_(sdk), betaToken_(std::move(betaToken)), rootDirectory_(std::move(rootDirectory)) {}

PLRPlurioController::~PLRPlurioController() {
    for (auto token : observers_) NotificationCenter::defaultCenter().removeObserver(token);
}

void PLRPlurioController::start() {
    eventQueue_ = std::make_shared<OperationQueue>(kEventQueueName, 1);
    // Held until every start step has queued its work, so the set-up's own clean-up comes after
    // the launch events and the settings, whichever thread runs first.
    eventQueue_->setSuspended(true);
    onEventQueue([](PLRPlurioController& c) { c.setUp(); });

    std::weak_ptr<PLRPlurioController> weak = weak_from_this();
    auto& center = NotificationCenter::defaultCenter();
    for (const char* name : {"NSApplicationWillTerminateNotification",
                             "NSApplicationWillResignActiveNotification",
                             "NSApplicationDidBecomeActiveNotification"}) {
        observers_.push_back(center.addObserver(name, nullptr, [weak](const Notification& n) {
            if (auto c = weak.lock()) c->applicationLifecycleEvent(n);
        }));
    }
    observers_.push_back(center.addObserver(
        Tarnel::kSettingsAvailableNotification, nullptr, [weak](const Notification& n) {
            if (auto c = weak.lock()) c->tarnelSettingsDidBecomeAvailable(n);
        }));

    if (sdk_.isFirstInstall()) enqueueEvent(PLRLifecycleEvent::installEvent());
    enqueueEvent(PLRLifecycleEvent::appLaunchedEvent());
    initializeSettingsIfNeededWithTarnelSettings(sdk_.settings());
    // This platform has no advertising identifier: the SDK core learns that there is none.
    sdk_.setAdvertisingToken(std::nullopt);
    eventQueue_->setSuspended(false);
}

void PLRPlurioController::setUp() {
    rootEventDirectory_ = eventDirectoryForRootDirectory(rootDirectory_);
    std::error_code ec;
    fs::create_directories(rootEventDirectory_, ec);
    currentLogURL_ = generateNewLogPath();
    settings_ = std::make_shared<PLRSettings>();
    metadata_ = std::make_shared<PLRMetadata>(sdk_, betaToken_);
    PLRRotateCrashMetadataOperation rotate(crashMetadataPathForRootDirectory(rootDirectory_),
                                           metadata_);
    rotate.main();
    previousExecutionMetadata_ = rotate.crashMetadata();
    eventFilter_ = std::make_shared<PLREventFilter>();
    networkRetryHandler_ = std::make_shared<PLRNetworkRetryHandler>();
    uploader_ = PLRUploader::create(eventQueue_, weak_from_this());
    bridge_ = std::make_unique<PLROrvelleAnalyticsBridge>();

    // Sorted here, before any event of this run is written, so that it sees only what earlier
    // runs left; the resumed files are queued behind the start's events and settings, so their
    // uploads go when cached settings allow.
    PLRCleanupFilesOperation cleanup(rootEventDirectory_, settings_->maxPendingSendFiles());
    cleanup.setSuccessBlock([this](const PLRCleanupFilesOperation::Paths& logs,
                                   const PLRCleanupFilesOperation::Paths& compressed,
                                   const PLRCleanupFilesOperation::Paths& bodies) {
        onEventQueue([logs, compressed, bodies](PLRPlurioController& c) {
            c.resumeLeftoverFiles(logs, compressed, bodies);
        });
    });
    cleanup.main();
}

void PLRPlurioController::resumeLeftoverFiles(const PLRCleanupFilesOperation::Paths& logs,
                                              const PLRCleanupFilesOperation::Paths& compressed,
                                              const PLRCleanupFilesOperation::Paths& bodies) {
    for (const auto& log : logs) eventQueue_->addOperations(operationsForUncompressedLog(log), false);
    for (const auto& gz : compressed)
        eventQueue_->addOperations(operationsForCompressedLog(gz), false);
    std::vector<fs::path> waiting(bodies.begin(), bodies.end());
    std::weak_ptr<PLRPlurioController> weak = weak_from_this();
    uploader_->attemptToReconnectBackgroundSessionWithCompletionBlock([weak, waiting] {
        if (auto c = weak.lock()) {
            CurrentQueueMark mark(c->eventQueue_.get());
            c->uploadMultipartFiles(waiting);
        }
    });
}

const fs::path& PLRPlurioController::rootDirectory() {
    static const fs::path root = Folders::cacheHome() / "com.quellix.data" /
                                 TRNEscapedBundleIdentifier(TRNApplicationBundleIdentifier().value_or("")) /
                                 "analytics" / "v2";
    return root;
}

fs::path PLRPlurioController::eventDirectoryForRootDirectory(const fs::path& root) {
    return root / "events";
}

fs::path PLRPlurioController::crashMetadataPathForRootDirectory(const fs::path& root) {
    return root / "crash_metadata";
}

std::optional<std::string> PLRPlurioController::boundaryFromURL(const fs::path& url) {
    if (PLRFileUtils::pathExtension(url) != kPackagedExtension) return std::nullopt;
    return PLRFileUtils::baseName(url);
}

fs::path PLRPlurioController::generateNewLogPath() const {
    return rootEventDirectory_ / (TRNGenerateUUIDString() + "." + kLogExtension);
}

fs::path PLRPlurioController::multipartMimeURLWithBoundary(const std::string& boundary) const {
    return rootEventDirectory_ / (boundary + "." + kPackagedExtension);
}

// --- Events, on the caller's thread.

void PLRPlurioController::logEvent(std::shared_ptr<PLREvent> event) {
    if (!event) return;
    if (debugging()) log("Logging Plurio event: " + event->description());
    enqueueEvent(std::move(event));
}

void PLRPlurioController::enqueueEvent(std::shared_ptr<PLREvent> event) {
    if (event) hand({std::move(event), nullptr}, "io.plurio.RecordEvent");
}

void PLRPlurioController::logCrashEvent(std::shared_ptr<PLRCrashEvent> event) {
    if (event) hand({nullptr, std::move(event)}, "io.plurio.RecordCrashEvent");
}

// Events wait in the inbox, in the order handed in, for one drain on the queue: a caller adds
// at most one operation however fast it logs, so its cost stays flat while the queue is busy.
// The activity declared with the first waiting event lasts until the drain that takes it.
void PLRPlurioController::hand(InboxItem item, const char* activityName) {
    bool schedule = false;
    {
        std::lock_guard lock(inboxMutex_);
        inbox_.push_back(std::move(item));
        if (!drainScheduled_) drainScheduled_ = schedule = true;
    }
    if (schedule) scheduleDrain(PLRActivity::beginActivity(activityName, kRecordOptions));
}

void PLRPlurioController::scheduleDrain(std::shared_ptr<PLRActivity> activity) {
    onEventQueue([activity = std::move(activity)](PLRPlurioController& c) {
        c.drainInbox();
        if (activity) activity->end();
    });
}

void PLRPlurioController::drainInbox() {
    std::deque<InboxItem> batch;
    {
        std::lock_guard lock(inboxMutex_);
        batch.swap(inbox_);
    }
    for (const auto& item : batch) {
        if (item.crash)
            recordCrashEvent(item.crash);
        else
            recordEvent(item.event);
    }
    // What came meanwhile waits behind the work already queued (rotations, settings).
    bool again = false;
    {
        std::lock_guard lock(inboxMutex_);
        again = drainScheduled_ = !inbox_.empty();
    }
    if (again) scheduleDrain(PLRActivity::beginActivity("io.plurio.RecordEvent", kRecordOptions));
}

void PLRPlurioController::applicationLifecycleEvent(const Notification& notification) {
    enqueueEvent(PLRLifecycleEvent::eventWithNotification(notification));
}

void PLRPlurioController::tarnelSettingsDidBecomeAvailable(const Notification&) {
    initializeSettingsIfNeededWithTarnelSettings(sdk_.settings());
}

void PLRPlurioController::initializeSettingsIfNeededWithTarnelSettings(
    TRNSettings::Dictionary settings) {
    onEventQueue([settings = std::move(settings)](PLRPlurioController& c) {
        c.applySettings(settings);
    });
}

// --- Work on the event queue.

std::shared_ptr<Operation> PLRPlurioController::onEventQueue(
    std::function<void(PLRPlurioController&)> work) {
    auto self = shared_from_this();
    auto op = BlockOperation::make([self, work = std::move(work)] {
        CurrentQueueMark mark(self->eventQueue_.get());
        work(*self);
    });
    eventQueue_->addOperation(op);
    return op;
}

void PLRPlurioController::checkQueue(const char* label) const {
    if (tCurrentQueue == eventQueue_.get()) return;
    log(std::string("queuing bug in ") + label + ": " + eventQueue_->name() +
        " != " + (tCurrentQueue ? tCurrentQueue->name() : std::string("(null)")));
}

void PLRPlurioController::applySettings(const TRNSettings::Dictionary& settings) {
    if (!settings || settings_->valid()) return;
    settings_ = std::make_shared<PLRSettings>(*settings);
    if (settings_->shouldCollectAnalytics()) {
        const auto analytics = settings->find("analytics");
        log("Plurio enabled with settings: " +
            (analytics != settings->end() ? analytics->dump() : std::string("(null)")));
        log("Logging events to " + rootEventDirectory_.string());
        setupFlushTimer();
        uploader_->setDefaultUploadTimeout(settings_->defaultUploadTimeout());
        uploader_->setLowPowerUploadTimeout(settings_->lowPowerUploadTimeout());
        uploadAllMultipartFiles();
        return;
    }
    log("Plurio is disabled. Cleaning up.");
    // Events and rotations queued before the settings came would put files back after the
    // clean-up; with collection off they are moot.
    eventQueue_->cancelAllOperations();
    {
        // A cancelled drain never runs: the next event must schedule its own (and is dropped).
        std::lock_guard lock(inboxMutex_);
        inbox_.clear();
        drainScheduled_ = false;
    }
    removeAllLogs();
}

bool PLRPlurioController::shouldLogEvent() const {
    if (!settings_) return false;
    if (!settings_->valid()) return true;
    return settings_->shouldCollectAnalytics();
}

bool PLRPlurioController::shouldSubmitLogAtURL(const fs::path& log) const {
    return int64_t(PLRFileUtils::fileSizeAtURL(log)) > settings_->maximumPayloadSize();
}

void PLRPlurioController::recordEvent(const std::shared_ptr<PLREvent>& event) {
    if (!shouldLogEvent()) return;
    if (PLREventFilter::shouldDiscardEvent(event.get(), metadata_->betaToken(),
                                           metadata_->installationId(),
                                           settings_->samplingRate())) {
        log("Application is enabled for sampling, skipping " + event->description());
        return;
    }
    logEventToOrvelle(*event);
    // The size before this event decides; the event still goes to the log being closed.
    const bool rotate = shouldSubmitLogAtURL(currentLogURL_) || event->triggersFlush();
    write(event, false);
    if (rotate) rotateAndSubmitCurrentLog();
}

void PLRPlurioController::recordCrashEvent(const std::shared_ptr<PLRCrashEvent>& event) {
    log("Attempting to log " + event->name());
    if (!shouldLogEvent()) return;
    if (PLREventFilter::shouldDiscardEvent(event.get(), metadata_->betaToken(),
                                           metadata_->installationId(),
                                           settings_->samplingRate())) {
        log("Application is enabled for sampling, skipping " + event->description());
        return;
    }
    // The crash event travels alone, headed by the crashed run's metadata: whatever the current
    // log holds, or was handed to hold, goes first.
    if (currentLogHasWrite_ || ::access(currentLogURL_.c_str(), R_OK) == 0)
        rotateAndSubmitCurrentLog();
    write(event, true);
    rotateAndSubmitCurrentLog();
}

// Written here, on the queue, before anything this event starts: the rotation it may trigger
// is queued behind and finds the line on disk.
void PLRPlurioController::write(const std::shared_ptr<PLREvent>& event, bool previousRun) {
    const PLRMetadataSerializable* metadata = metadata_.get();
    if (previousRun && previousExecutionMetadata_) metadata = previousExecutionMetadata_.get();
    PLRWriteEventOperation operation(event, *metadata, currentLogURL_);
    operation.main();
    currentLogHasWrite_ = true;
}

void PLRPlurioController::logEventToOrvelle(const PLREvent& event) {
    if (!settings_->shouldForwardToOrvelleAnalytics()) return;
    if (auto* predefined = dynamic_cast<const PLRPredefinedEvent*>(&event)) {
        if (predefined->predefinedEventName() == "purchase" &&
            !settings_->shouldIncludePurchaseEventsInForwardedOrvelleEvents())
            return;
    }
    bridge_->logEvent(event);
}

void PLRPlurioController::setupFlushTimer() {
    checkQueue("-[PLRPlurioController setupFlushTimer]");
    const double interval = settings_->flushInterval();
    if (interval <= 0) {
        flushTimer_.reset();
        return;
    }
    std::weak_ptr<PLRPlurioController> weak = weak_from_this();
    flushTimer_ = std::make_unique<PLRTimer>(interval, eventQueue_, kFlushTimerIdentifier, [weak] {
        if (auto c = weak.lock()) {
            CurrentQueueMark mark(c->eventQueue_.get());
            c->flushTimerFired();
        }
    });
}

void PLRPlurioController::flushTimerFired() {
    checkQueue("-[PLRPlurioController flushTimerFired]");
    if (settings_->flushInterval() <= 0) {
        flushTimer_.reset();
        return;
    }
    if (shouldSubmitLogAtURL(currentLogURL_)) rotateAndSubmitCurrentLog();
}

void PLRPlurioController::rotateAndSubmitCurrentLog() {
    auto activity = PLRActivityOperation::operationByStartingActivityName(
        "io.plurio.RotateAndSubmit", kRotateOptions);
    const fs::path old = currentLogURL_;
    currentLogURL_ = generateNewLogPath();
    currentLogHasWrite_ = false;
    auto operations = operationsForUncompressedLog(old);
    for (const auto& op : operations) activity->addDependency(op);
    operations.push_back(activity);
    eventQueue_->addOperations(operations, false);
}

// Each stage removes its own input only once its output is complete, so a failed stage
// leaves the file where the next start's clean-up resumes it.
std::vector<std::shared_ptr<Operation>> PLRPlurioController::operationsForUncompressedLog(
    const fs::path& log) {
    checkExtension(log, kLogExtension);
    const fs::path compressed = PLRCompressLogOperation::compressedURLForUncompressedURL(log);
    const std::string boundary = PLRPackageLogOperation::boundaryForCompressedURL(compressed);
    const fs::path packaged = multipartMimeURLWithBoundary(boundary);
    auto compress = std::make_shared<PLRCompressLogOperation>(log, compressed);
    auto package = std::make_shared<PLRPackageLogOperation>(compressed, packaged, boundary);
    package->addDependency(compress);
    auto upload = uploadOperationForFileAtURL(packaged, boundary);
    upload->addDependency(package);
    return {compress, package, upload};
}

std::vector<std::shared_ptr<Operation>> PLRPlurioController::operationsForCompressedLog(
    const fs::path& compressed) {
    checkExtension(compressed, kCompressedExtension);
    const std::string boundary = PLRPackageLogOperation::boundaryForCompressedURL(compressed);
    auto package = std::make_shared<PLRPackageLogOperation>(
        compressed, multipartMimeURLWithBoundary(boundary), boundary);
    auto upload = uploadOperationForFileAtURL(package->packagedLogURL(), boundary);
    upload->addDependency(package);
    return {package, upload};
}

std::shared_ptr<Operation> PLRPlurioController::uploadOperationForFileAtURL(
    const fs::path& body, const std::string& boundary) {
    const auto url = settings_->plurioURL();
    auto upload = std::make_shared<PLRUploadOperation>(
        uploader_, url.value_or(""), metadata_->APIKey().value_or(""), body, boundary);
    // Without settings, or without an endpoint to send to, the body waits on disk for a later
    // start (or for the settings of this one).
    if (!settings_->valid() || !url) upload->cancel();
    return upload;
}

void PLRPlurioController::uploadAllMultipartFiles() {
    const auto files = PLRFileUtils::filesWithExtension(kPackagedExtension, rootEventDirectory_);
    uploadMultipartFiles(std::vector<fs::path>(files.begin(), files.end()));
}

void PLRPlurioController::uploadMultipartFiles(const std::vector<fs::path>& files) {
    for (const auto& file : files) {
        const auto boundary = boundaryFromURL(file);
        if (!boundary) continue;
        eventQueue_->addOperation(uploadOperationForFileAtURL(file, *boundary));
    }
}

void PLRPlurioController::removeAllLogs() {
    for (const auto& file : PLRFileUtils::allFilesInDirectory(rootEventDirectory_)) {
        std::error_code ec;
        fs::remove(file, ec);
    }
}

// --- Waiting for the queue, from another thread.

bool PLRPlurioController::waitUntilEventQueueIdle(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    struct Signal {
        std::mutex mutex;
        std::condition_variable cv;
        bool done = false;
    };
    // Work on the queue adds further work (an event's write, a rotation's stages), so one
    // marker is not enough: go round until the queue holds nothing.
    while (eventQueue_->operationCount() > 0) {
        auto signal = std::make_shared<Signal>();
        auto marker = std::make_shared<BlockOperation>(nullptr);
        // On completion, which also comes to a marker cancelled with the rest of the queue.
        marker->setCompletionBlock([signal] {
            std::lock_guard lock(signal->mutex);
            signal->done = true;
            signal->cv.notify_all();
        });
        eventQueue_->addOperation(marker);
        std::unique_lock lock(signal->mutex);
        if (!signal->cv.wait_until(lock, deadline, [&] { return signal->done; })) return false;
    }
    return true;
}

// --- Uploader delegate, on the event queue.

bool PLRPlurioController::shouldRemoveBodyAfterUploadError(const std::optional<net::Error>& error) {
    if (!error) return true;
    if (error->domain != kTRNNetworkErrorDomain) return false;
    if (error->code == PLRUploader::kMissingInput || error->code == PLRUploader::kUnreadableFile)
        return true;
    const auto type = error->userInfo.find("type");
    if (type == error->userInfo.end()) return false;
    const auto* value = std::any_cast<int64_t>(&type->second);
    return value && (*value == int64_t(TRNResponseType::Failure) ||
                     *value == int64_t(TRNResponseType::Rejected));
}

std::string PLRPlurioController::uploaderFilePathForUniqueName(PLRUploader&,
                                                               const std::string& uniqueName) {
    return (rootEventDirectory_ / (uniqueName + "." + kPackagedExtension)).string();
}

void PLRPlurioController::uploaderDidFinishUploadWithUniqueName(
    PLRUploader& uploader, const std::string& uniqueName, const std::optional<net::Error>& error) {
    if (error) log("Failed to upload '" + uniqueName + "': " + errorText(error));
    log("Finished transmission of '" + uniqueName + "'.");
    if (!shouldRemoveBodyAfterUploadError(error)) {
        log("Keeping '" + uniqueName + "' for a later start.");
        return;
    }
    std::error_code ec;
    fs::remove(uploaderFilePathForUniqueName(uploader, uniqueName), ec);
}

void PLRPlurioController::uploaderCompletedRequest(PLRUploader&, const net::URLRequest& request,
                                                   const std::optional<net::URLResponse>& response,
                                                   const std::string& uniqueName,
                                                   const std::optional<net::Error>& error,
                                                   RetryDecision decision) {
    networkRetryHandler_->handleCompletedRequest(
        request, response, uniqueName, error,
        [uniqueName, error, decision = std::move(decision)](
            bool retry, const std::optional<net::Error>& handlerError) {
            if (error) log("Error transmitting '" + uniqueName + "': " + errorText(error));
            if (retry) log("Scheduling retry for '" + uniqueName + "'.");
            decision(retry, handlerError);
        });
}

void PLRPlurioController::uploaderSessionDidReceiveChallenge(
    PLRUploader&, QXURLSession& session, const net::AuthenticationChallenge& challenge,
    net::ChallengeCompletion completion) {
    networkRetryHandler_->handleChallenge(challenge, &session, completion);
}

}  // namespace wv
