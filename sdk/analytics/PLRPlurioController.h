#pragma once

#include <chrono>
#include <deque>
#include <mutex>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/dispatch/OperationQueue.h"
#include "platform/foundation/NotificationCenter.h"
#include "sdk/analytics/PLRSettings.h"
#include "sdk/analytics/PLRUploaderDelegate.h"
#include "sdk/core/TRNSettings.h"

namespace wv {

class PLRActivity;
class PLRCrashEvent;
class PLRCrashMetadata;
class PLREvent;
class PLREventFilter;
class PLRMetadata;
class PLRNetworkRetryHandler;
class PLROrvelleAnalyticsBridge;
class PLRTimer;
class PLRUploader;
class Tarnel;

// The analytics kit's core: one serial queue on which all its work happens, the folder of event
// files, the current event log, the settings and the uploader. Turns the application's
// lifecycle notifications into events, decides for every event whether it is stored (settings,
// sampling), forwards it to Orvelle Analytics when asked, appends it to the current log and
// rotates the log (compress, package, upload) when it has grown past the limit, when an event
// asks for a flush, or when the flush timer finds it too large.
//
// Threads: create(), logEvent(), enqueueEvent(), logCrashEvent() and the notification
// handlers run on any thread: events wait in an inbox (in the order handed in) for one drain
// operation on the event queue, so a caller adds at most one operation however busy the queue
// is. Every other field is written only by work on the event queue (one operation at a time:
// the kit's lock); the accessors below marked "queue" may be read only there, or once
// waitUntilEventQueueIdle() returned true.
class PLRPlurioController : public PLRUploaderDelegate,
                            public std::enable_shared_from_this<PLRPlurioController> {
  public:
    static constexpr const char* kEventQueueName = "io.plurio.EventQueue";
    static constexpr const char* kFlushTimerIdentifier = "io.plurio.TimedEventsFlush";
    static constexpr const char* kLogExtension = "log";
    static constexpr const char* kCompressedExtension = "gz";
    static constexpr const char* kPackagedExtension = "multipartmime";

    // `initWithBetaToken:` (the class root) and `initWithBetaToken:rootDirectory:`. Queues the
    // set-up, the install and launch events and the current settings, and returns at once.
    static std::shared_ptr<PLRPlurioController> create(Tarnel& sdk,
                                                       const std::optional<std::string>& betaToken);
    static std::shared_ptr<PLRPlurioController> create(
        Tarnel& sdk, const std::optional<std::string>& betaToken,
        std::filesystem::path rootDirectory);
    ~PLRPlurioController() override;
    PLRPlurioController(const PLRPlurioController&) = delete;
    PLRPlurioController& operator=(const PLRPlurioController&) = delete;

    // <caches>/com.quellix.data/<bundle id, "/" made "_">/analytics/v2, computed once.
    static const std::filesystem::path& rootDirectory();
    static std::filesystem::path eventDirectoryForRootDirectory(const std::filesystem::path& root);
    static std::filesystem::path crashMetadataPathForRootDirectory(
        const std::filesystem::path& root);
    // "multipartmime" files only; none for any other.
    static std::optional<std::string> boundaryFromURL(const std::filesystem::path& url);

    void logEvent(std::shared_ptr<PLREvent> event);
    void enqueueEvent(std::shared_ptr<PLREvent> event);
    void logCrashEvent(std::shared_ptr<PLRCrashEvent> event);
    // Queues the work: only the first dictionary of the run takes effect.
    void initializeSettingsIfNeededWithTarnelSettings(TRNSettings::Dictionary settings);
    void tarnelSettingsDidBecomeAvailable(const Notification& notification);
    void applicationLifecycleEvent(const Notification& notification);

    // Waits, at most `timeout`, until the queue has run every operation added so far and every
    // one those added in turn (an event's write and rotation are queued by its own block).
    // False when the time ran out first. Any thread but the event queue's.
    bool waitUntilEventQueueIdle(std::chrono::milliseconds timeout);

    const std::shared_ptr<OperationQueue>& eventQueue() const { return eventQueue_; }
    // Queue.
    const std::filesystem::path& rootEventDirectory() const { return rootEventDirectory_; }
    const std::shared_ptr<const PLRMetadata>& metadata() const { return metadata_; }
    const std::shared_ptr<PLRCrashMetadata>& previousExecutionMetadata() const {
        return previousExecutionMetadata_;
    }
    const std::shared_ptr<PLRUploader>& uploader() const { return uploader_; }
    const std::filesystem::path& currentLogURL() const { return currentLogURL_; }
    const std::shared_ptr<const PLRSettings>& settings() const { return settings_; }
    const PLRTimer* flushTimer() const { return flushTimer_.get(); }
    const PLROrvelleAnalyticsBridge* orvelleAnalyticsBridge() const { return bridge_.get(); }

    // Queue.
    bool shouldLogEvent() const;
    bool shouldSubmitLogAtURL(const std::filesystem::path& log) const;
    void logEventToOrvelle(const PLREvent& event);
    void setupFlushTimer();
    void flushTimerFired();
    void rotateAndSubmitCurrentLog();
    void uploadAllMultipartFiles();
    void uploadMultipartFiles(const std::vector<std::filesystem::path>& files);
    void removeAllLogs();
    std::filesystem::path generateNewLogPath() const;
    std::filesystem::path multipartMimeURLWithBoundary(const std::string& boundary) const;

    // PLRUploaderDelegate.
    std::string uploaderFilePathForUniqueName(PLRUploader& uploader,
                                              const std::string& uniqueName) override;
    void uploaderDidFinishUploadWithUniqueName(PLRUploader& uploader,
                                               const std::string& uniqueName,
                                               const std::optional<net::Error>& error) override;
    void uploaderCompletedRequest(PLRUploader& uploader, const net::URLRequest& request,
                                  const std::optional<net::URLResponse>& response,
                                  const std::string& uniqueName,
                                  const std::optional<net::Error>& error,
                                  RetryDecision decision) override;
    bool handlesChallenges() const override { return true; }
    void uploaderSessionDidReceiveChallenge(PLRUploader& uploader, QXURLSession& session,
                                            const net::AuthenticationChallenge& challenge,
                                            net::ChallengeCompletion completion) override;

    // Whether a finished upload's body may go: it was delivered, refused for good, or can
    // never be sent. A body that only ran out of tries waits for a later start.
    static bool shouldRemoveBodyAfterUploadError(const std::optional<net::Error>& error);

  private:
    PLRPlurioController(Tarnel& sdk, std::optional<std::string> betaToken,
                        std::filesystem::path rootDirectory);
    void start();
    void setUp();
    void applySettings(const TRNSettings::Dictionary& settings);
    struct InboxItem {
        std::shared_ptr<PLREvent> event;
        std::shared_ptr<PLRCrashEvent> crash;
    };
    void resumeLeftoverFiles(const std::set<std::filesystem::path>& logs,
                             const std::set<std::filesystem::path>& compressed,
                             const std::set<std::filesystem::path>& bodies);
    void hand(InboxItem item, const char* activityName);
    void scheduleDrain(std::shared_ptr<PLRActivity> activity);
    void drainInbox();
    void recordEvent(const std::shared_ptr<PLREvent>& event);
    void recordCrashEvent(const std::shared_ptr<PLRCrashEvent>& event);
    void write(const std::shared_ptr<PLREvent>& event, bool previousRun);
    std::vector<std::shared_ptr<Operation>> operationsForUncompressedLog(
        const std::filesystem::path& log);
    std::vector<std::shared_ptr<Operation>> operationsForCompressedLog(
        const std::filesystem::path& compressed);
    std::shared_ptr<Operation> uploadOperationForFileAtURL(const std::filesystem::path& body,
                                                           const std::string& boundary);
    void checkQueue(const char* label) const;
    // Adds work that runs with the controller held; marks the thread as the event queue's.
    std::shared_ptr<Operation> onEventQueue(std::function<void(PLRPlurioController&)> work);

    Tarnel& sdk_;
    const std::optional<std::string> betaToken_;
    const std::filesystem::path rootDirectory_;
    std::shared_ptr<OperationQueue> eventQueue_;
    std::filesystem::path rootEventDirectory_;
    std::shared_ptr<const PLRMetadata> metadata_;
    std::shared_ptr<PLRCrashMetadata> previousExecutionMetadata_;
    std::shared_ptr<PLRUploader> uploader_;
    std::shared_ptr<PLRNetworkRetryHandler> networkRetryHandler_;
    std::filesystem::path currentLogURL_;
    // Whether an event was written to currentLogURL_ since it became current (even a write
    // that failed may have left the file): a crash event must not join it.
    bool currentLogHasWrite_ = false;
    std::shared_ptr<PLREventFilter> eventFilter_;
    std::shared_ptr<const PLRSettings> settings_;
    std::unique_ptr<PLRTimer> flushTimer_;
    std::unique_ptr<PLROrvelleAnalyticsBridge> bridge_;
    std::vector<NotificationCenter::ObserverToken> observers_;

    std::mutex inboxMutex_;  // the inbox and its drain flag, from any thread
    std::deque<InboxItem> inbox_;
    bool drainScheduled_ = false;
};

}  // namespace wv
