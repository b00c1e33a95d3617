#pragma once

// Runs the crash reporter's life in one process. At start it checks its preconditions,
// prepares the report folder tree, writes the launch marker, creates this run's report folder
// and installs the crash handlers through the crash context; then it deals with what earlier
// runs left: unsent reports in active are offered to the delegate (or sent at once when the
// last launch failed), half-processed reports are packaged and packaged ones uploaded. It owns
// the serial work queue for all slow report work, the upload client and the reports
// controller, shows the optional submission prompt and keeps the user's answer for the rest
// of the process (never on disk).
//
// Threads: start runs on the kit's starting thread (an urgent report of a failed launch is
// sent there, synchronously); report work, decisions, retries and prompt outcomes run on the
// work queue, one at a time; the alert runs on the main queue. The prompt choice is atomic
// because the main queue reads it while the work queue writes it.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/dispatch/OperationQueue.h"
#include "platform/foundation/NotificationCenter.h"
#include "sdk/crash/capture/QXHandler.h"
#include "sdk/crash/context/QXApplication.h"
#include "sdk/crash/context/QXContextInitialize.h"
#include "sdk/crash/kit/QXCrashReportingControllerDelegate.h"
#include "sdk/crash/report/QXNetworkClient.h"
#include "sdk/crash/report/QXReportsController.h"
#include "sdk/crash/report/QXSettings.h"

namespace wv {

class QXFileManager;
class QXInternalReport;

// The text the two timing keys hold: the shortest plain decimal that reads back as the very
// same double, so that neither precision nor a fixed count of digits is lost or invented.
std::string QXShortestDecimalText(double value);

enum QXPromptChoice : int64_t {
    QXPromptChoiceNotAsked = 0,
    QXPromptChoiceDoNotSend = 1,
    QXPromptChoiceSend = 2,
    QXPromptChoiceAlwaysSend = 3,
};

class QXCrashReportingController : public QXNetworkClientDelegate,
                                   public QXReportsControllerDelegate,
                                   public QXCrashCallback,
                                   public std::enable_shared_from_this<QXCrashReportingController> {
  public:
    static constexpr const char* kWorkQueueName = "com.balvik.quellix.mac.work-queue";
    static constexpr const char* kLaunchMarkerName = "launchmarker";
    static constexpr const char* kKitStartTimeKey = "com.quellix.kit-start-time";
    static constexpr const char* kFirstRunLoopTimeKey = "com.quellix.first-run-loop-time";
    static constexpr const char* kInBackgroundKey = "com.quellix.in-background";
    static constexpr const char* kWillBecomeActiveNotification =
        "NSApplicationWillBecomeActiveNotification";
    static constexpr const char* kDidResignActiveNotification =
        "NSApplicationDidResignActiveNotification";
    // A failed upload is tried once more after this many seconds (on the main queue's clock).
    static constexpr double kRetryDelay = 600.0;
    // The handler checks wait this long after start, on the main queue.
    static constexpr double kPostStartCheckDelay = 2.0;

    // What the controller takes from the process around it. Each member left empty gets the
    // real one; tests replace those they need to watch or script.
    struct Environment {
        // The crash context initialisation (the installers of the capture layer, then the
        // context itself).
        std::function<bool(const QXContextInitData& data)> initializeCrashContext;
        // This run's execution identifier (the kit core's).
        std::function<std::string()> executionIdentifier;
        // The application bundle identifier ("/" already replaced by "_").
        std::function<std::optional<std::string>()> bundleIdentifier;
        std::function<bool()> isExtension;
        // The kit core's debug flag.
        std::function<bool()> debug;
        // An internal key-value pair through the recorder (which serialises on the logging
        // queue itself).
        std::function<void(const std::string& key, const std::string& value)>
            recordInternalKeyValue;
        // An internal key-value pair written asynchronously on the logging queue.
        std::function<void(const std::string& key, const std::string& value)>
            writeInternalKeyValueAsync;
        // The handler checks that run two seconds after start.
        std::function<void()> checkHandlers;
        // A line for the crash report's custom log (the Orvelle Analytics events).
        std::function<void(const std::string& line)> recordLogMessage;
    };

    static std::shared_ptr<QXCrashReportingController> create(
        std::shared_ptr<QXFileManager> fileManager,
        std::weak_ptr<QXCrashReportingControllerDelegate> delegate,
        Environment environment = {});
    ~QXCrashReportingController() override;
    QXCrashReportingController(const QXCrashReportingController&) = delete;
    QXCrashReportingController& operator=(const QXCrashReportingController&) = delete;

    const std::shared_ptr<QXFileManager>& fileManager() const { return fileManager_; }
    const std::shared_ptr<QXNetworkClient>& networkClient() const { return networkClient_; }
    const std::shared_ptr<OperationQueue>& operationQueue() const { return operationQueue_; }
    // Created on first use and kept.
    std::shared_ptr<QXReportsController> reportsController();
    QXPromptChoice promptChoice() const { return promptChoice_.load(); }

    std::shared_ptr<QXNetworkClient> clientWithOperationQueue(
        std::shared_ptr<OperationQueue> queue);

    // True when the crash handlers are installed.
    bool startWithProfilingMark(QXProfileMark mark, const std::optional<std::string>& betaToken);
    bool startCrashReporterWithAPIKey(const std::optional<std::string>& APIKey,
                                      const std::optional<std::string>& betaToken,
                                      QXProfileMark mark,
                                      const std::shared_ptr<QXInternalReport>& report);
    bool checkPreconditions();
    bool prepareForNewLaunch();
    std::shared_ptr<QXInternalReport> setupCurrentReport();
    bool installCrashReportingHandlers(const QXContextInitData& data);
    uint32_t machExceptionMask();
    void crashReportingSetupCompleted(QXProfileMark mark);

    // The delegate's answers.
    bool firstInstall();
    std::optional<std::string> installIdentifier();
    std::optional<std::string> APIKey();
    // Fetched from the delegate on first use and kept for the controller's life.
    QXSettings settings();
    std::optional<std::string> bundleIdentifier();
    bool packagingEnabled();
    bool delegateNeedsToBeInformedOfReports();
    bool needsToPrompt();
    bool canProcessUrgentReports();

    void processExistingReportPaths(const std::vector<std::filesystem::path>& paths,
                                    bool urgent);
    void processExistingActiveReportPath(const std::filesystem::path& path, bool urgent);
    void handleDelegateCompletionForReport(const std::shared_ptr<QXInternalReport>& report,
                                           bool submit);
    void removeReport(const std::shared_ptr<QXInternalReport>& report);
    void handleContentsInOtherReportingDirectories();
    // Each lists its folder now; the forms with entries take a listing made earlier.
    void handleExistingFilesInProcessing();
    void handleExistingFilesInPrepared();
    void handleExistingFilesInProcessing(const std::vector<std::filesystem::path>& entries);
    void handleExistingFilesInPrepared(const std::vector<std::filesystem::path>& entries);
    void uploadPreexistingFiles(const std::vector<std::filesystem::path>& paths);
    void retryUploadForReportAtPath(const std::filesystem::path& path);

    // The submission prompt.
    void displayPermissionAlertForReport(const std::shared_ptr<QXInternalReport>& report);
    void setupAndDisplayAlert(const std::string& title, const std::string& message,
                              const std::string& cancel, const std::string& send,
                              const std::optional<std::string>& alwaysSend,
                              const std::shared_ptr<QXInternalReport>& report);
    void handlePromptCompleteForReport(const std::shared_ptr<QXInternalReport>& report,
                                       bool shouldSubmit, bool shouldMarkAlwaysSubmit);

    // The launch marker: the empty file "launchmarker" in the tree's v3 folder, present from
    // start until the main queue's first turn.
    std::filesystem::path launchFailureMarkerPath() const;
    bool createLaunchFailureMarker();
    bool launchFailureMarkerPresent() const;
    bool removeLaunchFailureMarker();
    // True when the marker was there already (the last launch failed); creates it otherwise.
    bool checkForAndCreateLaunchMarker();

    void registerAnalyticsEventListener();
    void setupStateNotifications();
    void captureInitialNotificationStates();
    void willBecomeActive(const Notification& notification);
    void didBecomeInactive(const Notification& notification);
    void tarnelSettingsDownloaded(const Notification& notification);
    void checkForUserPromptSetting();

    // QXCrashCallback: inside the crash handler.
    void deliverCrashDelegateCallback() override;

    // QXNetworkClientDelegate (on the work queue).
    bool networkClientCanUseBackgroundSessions(QXNetworkClient& client) override;
    void networkClientDidFinishUploadWithPath(QXNetworkClient& client, const std::string& path,
                                              const std::optional<net::Error>& error) override;

    // QXReportsControllerDelegate.
    void reportsControllerDidCompletePackageSubmission(
        QXReportsController& controller, const std::filesystem::path& path,
        const std::optional<net::Error>& error) override;
    QXSettings settingsForReportsController(QXReportsController& controller) override;
    std::optional<std::string> APIKeyForReportsController(
        QXReportsController& controller) override;
    std::optional<std::string> bundleIdentifierForReportsController(
        QXReportsController& controller) override;

  private:
    QXCrashReportingController(std::shared_ptr<QXFileManager> fileManager,
                               std::weak_ptr<QXCrashReportingControllerDelegate> delegate,
                               Environment environment);
    std::shared_ptr<QXCrashReportingControllerDelegate> delegate() const {
        return delegate_.lock();
    }
    bool debug() const;
    void onWorkQueue(std::function<void(QXCrashReportingController&)> work);
    void submitReport(const std::shared_ptr<QXInternalReport>& report);
    void writeElapsedMillis(const char* key, QXProfileMark mark);

    std::shared_ptr<QXFileManager> fileManager_;
    std::shared_ptr<QXNetworkClient> networkClient_;
    std::shared_ptr<QXReportsController> reportsController_;
    std::shared_ptr<OperationQueue> operationQueue_;
    std::optional<QXSettings> settings_;
    std::atomic<QXPromptChoice> promptChoice_{QXPromptChoiceNotAsked};
    std::atomic<bool> registeredAnalyticsEventListener_{false};
    std::weak_ptr<QXCrashReportingControllerDelegate> delegate_;
    // Held for the crash handler, which must not count references while the process dies.
    std::shared_ptr<QXCrashReportingControllerDelegate> crashCallbackDelegate_;
    Environment environment_;
    // Guards the lazily made settings and reports controller.
    std::mutex mutex_;
    std::vector<NotificationCenter::ObserverToken> stateObservers_;
    std::optional<NotificationCenter::ObserverToken> settingsObserver_;
};

}  // namespace wv
