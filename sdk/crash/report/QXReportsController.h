#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/dispatch/OperationQueue.h"
#include "platform/net/Error.h"
#include "platform/net/URLRequest.h"
#include "sdk/crash/report/QXSettings.h"

namespace wv {

class QXFileManager;
class QXInternalReport;
class QXNetworkClient;
class QXReportsController;

class QXReportsControllerDelegate {
  public:
    virtual ~QXReportsControllerDelegate() = default;
    virtual void reportsControllerDidCompletePackageSubmission(
        QXReportsController& controller, const std::filesystem::path& path,
        const std::optional<net::Error>& error) = 0;
    virtual QXSettings settingsForReportsController(QXReportsController& controller) = 0;
    virtual std::optional<std::string> APIKeyForReportsController(
        QXReportsController& controller) = 0;
    virtual std::optional<std::string> bundleIdentifierForReportsController(
        QXReportsController& controller) = 0;
};

// Takes a report folder of an earlier run through its last steps: into the processing
// folder, symbolicated, packaged into the prepared folder, its folder deleted, and the package
// handed to the upload client; and deletes a package once its upload succeeded, never before.
// Builds the upload request itself (URL, headers, multipart type and length).
//
// Threads: no state of its own beyond what it is given; every call runs on its caller's
// thread (urgent reports on the starting thread, the others on the work queue).
class QXReportsController {
  public:
    static constexpr const char* kUserAgent = "Quellix Mac SDK/3.10.1";
    static constexpr const char* kDeveloperToken = "7c1e9a04b3d2f58e6a0c4b71d9e2f3a85b6c0d17";
    static constexpr const char* kClientIdentifier = "com.balvik.quellix.mac";
    static constexpr const char* kDisplayVersion = "3.10.1";
    static constexpr const char* kBuildVersion = "129";
    static constexpr const char* kActivityReason = "Quellix Crash Report Processing";
    static constexpr double kTimeout = 10.0;
    // A synchronous upload blocks the launch of an application that just crashed at start.
    static constexpr double kBlockingTimeout = 2.0;

    QXReportsController(std::shared_ptr<OperationQueue> queue,
                        std::weak_ptr<QXReportsControllerDelegate> delegate,
                        std::shared_ptr<QXNetworkClient> client,
                        std::shared_ptr<QXFileManager> fileManager);

    const std::shared_ptr<OperationQueue>& operationQueue() const { return queue_; }
    const std::shared_ptr<QXNetworkClient>& networkClient() const { return client_; }
    const std::shared_ptr<QXFileManager>& fileManager() const { return fileManager_; }

    // Asked of the delegate each time.
    QXSettings settings();
    std::optional<std::string> APIKey();
    std::optional<std::string> appBundleIdentifier();
    std::string reportEndpoint();
    bool submissionEnabled();
    bool packagingEnabled();
    static std::string localeIdentifier();

    // None when no endpoint is configured (nothing is ever sent then) or the result is no URL.
    std::optional<std::string> reportURL();
    net::URLRequest mutableRequestWithURL(const std::string& url, double timeout);
    bool fillInRequestForMultipartMimeDataAtPath(net::URLRequest& request,
                                                 const std::filesystem::path& path);

    // True when the package was handed to the upload client.
    bool prepareAndSubmitReport(const std::shared_ptr<QXInternalReport>& report, bool urgent,
                                bool processing);
    bool uploadPackagedReportAtPath(const std::filesystem::path& path, bool urgent);
    bool submitPackageMultipartMimeAtPath(const std::filesystem::path& path, bool synchronously);
    void reportUploadAtPathCompletedWithError(const std::filesystem::path& path,
                                              const std::optional<net::Error>& error);
    bool cleanUpSubmittedReportAtPath(const std::filesystem::path& path);

  private:
    bool prepareAndSubmitReportInActivity(const std::shared_ptr<QXInternalReport>& report,
                                          bool urgent, bool processing);
    std::shared_ptr<QXReportsControllerDelegate> delegate() const { return delegate_.lock(); }

    std::shared_ptr<OperationQueue> queue_;
    std::weak_ptr<QXReportsControllerDelegate> delegate_;
    std::shared_ptr<QXNetworkClient> client_;
    std::shared_ptr<QXFileManager> fileManager_;
};

}  // namespace wv
