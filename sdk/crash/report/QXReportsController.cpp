#include "sdk/crash/report/QXReportsController.h"

#include <chrono>

#include "platform/foundation/Locale.h"
#include "platform/foundation/Log.h"
#include "sdk/core/TRNMultipartMimeStreamEncoder.h"
#include "sdk/core/TRNURLBuilder.h"
#include "sdk/core/Tarnel.h"
#include "sdk/crash/context/QXApplication.h"
#include "sdk/crash/report/QXFileManager.h"
#include "sdk/crash/report/QXInternalReport.h"
#include "sdk/crash/report/QXNetworkClient.h"
#include "sdk/crash/report/QXOVCAnalytics.h"
#include "sdk/crash/report/QXPackageReportOperation.h"
#include "sdk/crash/report/QXProcessReportOperation.h"
#include "sdk/crash/report/QXSymbolResolver.h"

namespace wv {
namespace {

bool debugMode() { return Tarnel::sharedSDK().debug(); }

void log(const std::string& text) { Log::system("[Quellix:Crash:Reports] " + text); }

void debugLog(const std::string& text) {
    if (debugMode()) log(text);
}

}  // namespace

QXReportsController::QXReportsController(std::shared_ptr<OperationQueue> queue,
                                         std::weak_ptr<QXReportsControllerDelegate> delegate,
                                         std::shared_ptr<QXNetworkClient> client,
                                         std::shared_ptr<QXFileManager> fileManager)
    : queue_(std::move(queue)),
      delegate_(std::move(delegate)),
      client_(std::move(client)),
      fileManager_(std::move(fileManager)) {}

QXSettings QXReportsController::settings() {
    if (auto d = delegate()) return d->settingsForReportsController(*this);
    return QXSettings();
}

std::optional<std::string> QXReportsController::APIKey() {
    if (auto d = delegate()) return d->APIKeyForReportsController(*this);
    return std::nullopt;
}

std::optional<std::string> QXReportsController::appBundleIdentifier() {
    if (auto d = delegate()) return d->bundleIdentifierForReportsController(*this);
    return std::nullopt;
}

std::string QXReportsController::reportEndpoint() { return settings().reportsEndpoint(); }
bool QXReportsController::submissionEnabled() { return settings().shouldSubmitReports(); }
bool QXReportsController::packagingEnabled() { return settings().shouldPackageReports(); }

std::string QXReportsController::localeIdentifier() {
    return Locale::currentIdentifier().value_or("en_US_POSIX");
}

std::optional<std::string> QXReportsController::reportURL() {
    const std::string endpoint = reportEndpoint();
    if (endpoint.empty()) return std::nullopt;
    auto builder = TRNURLBuilder::URLWithBase(endpoint);
    builder.appendComponent("/sdk-api/v1/platforms/");
    builder.appendComponent("mac");
    builder.appendComponent("/apps/");
    builder.escapeAndAppendComponent(appBundleIdentifier().value_or(""));
    builder.appendComponent("/reports");
    return builder.URL();
}

net::URLRequest QXReportsController::mutableRequestWithURL(const std::string& url, double timeout) {
    net::URLRequest request(url, timeout);
    request.cachePolicy = net::URLRequest::CachePolicy::ReloadIgnoringLocalCacheData;
    const std::string locale = localeIdentifier();
    request.headers.set("User-Agent", kUserAgent);
    request.headers.set("Accept", "application/json");
    request.headers.set("Accept-Charset", "utf-8");
    request.headers.set("Accept-Language", locale);
    request.headers.set("Content-Language", locale);
    request.headers.set("X-Quellix-Developer-Token", kDeveloperToken);
    request.headers.set("X-Quellix-API-Client-Id", kClientIdentifier);
    request.headers.set("X-Quellix-API-Client-Display-Version", kDisplayVersion);
    request.headers.set("X-Quellix-API-Client-Build-Version", kBuildVersion);
    request.headers.set("X-Quellix-API-Key", APIKey().value_or(""));
    return request;
}

bool QXReportsController::fillInRequestForMultipartMimeDataAtPath(
    net::URLRequest& request, const std::filesystem::path& path) {
    request.headers.set(
        "Content-Type",
        TRNMultipartMimeStreamEncoder::contentTypeHTTPHeaderValueWithBoundary(path.stem().string()));
    const auto size = fileManager_->fileSizeAtPath(path);
    if (!size) {
        log("Could not determine size of multipart mime file");
        return false;
    }
    request.headers.set("Content-Length", std::to_string(*size));
    return true;
}

bool QXReportsController::prepareAndSubmitReport(const std::shared_ptr<QXInternalReport>& report,
                                                 bool urgent, bool processing) {
    bool result = false;
    QXApplicationActivity(
        kQXActivitySuddenTerminationDisabled | kQXActivityAutomaticTerminationDisabled,
        kActivityReason, [&] { result = prepareAndSubmitReportInActivity(report, urgent, processing); });
    return result;
}

bool QXReportsController::prepareAndSubmitReportInActivity(
    const std::shared_ptr<QXInternalReport>& report, bool urgent, bool processing) {
    if (!report) return false;
    if (processing) {
        if (!fileManager_->moveItemAtPath(report->path(), fileManager_->processingPath())) {
            log("Unable to move report for processing");
            return false;
        }
        report->setPath(fileManager_->processingPath() / report->directoryName());
        auto resolver = std::make_shared<QXSymbolResolver>();
        QXProcessReportOperation process(report, resolver);
        process.start();
    }
    if (!packagingEnabled()) {
        log("Report packaging disabled");
        return false;
    }
    QXPackageReportOperation package(report, fileManager_);
    package.start();
    if (!package.finalPath()) {
        log("Unable to package report");
        return false;
    }
    const auto crashedOn = report->crashedOnDate();
    const double crashTime =
        crashedOn ? std::chrono::duration<double>(crashedOn->time_since_epoch()).count() : 0.0;
    const bool isCrash = report->isCrash();
    if (!fileManager_->removeItemAtPath(report->path())) log("Unable to remove a processing item");
    log("Packaged report with id '" + report->identifier() + "' for submission");
    const bool result = uploadPackagedReportAtPath(*package.finalPath(), urgent);
    if (isCrash && result)
        QXOVCAnalytics::logCrashWithTimeStamp(crashTime, settings().orvelleQuellixEnabled());
    return result;
}

bool QXReportsController::uploadPackagedReportAtPath(const std::filesystem::path& path,
                                                     bool urgent) {
    if (!submissionEnabled()) {
        log("Submission disabled");
        return false;
    }
    debugLog(std::string("Submitting report") + (urgent ? " as urgent" : ""));
    return submitPackageMultipartMimeAtPath(path, urgent);
}

bool QXReportsController::submitPackageMultipartMimeAtPath(const std::filesystem::path& path,
                                                           bool synchronously) {
    debugLog(std::string("Submitting ") + (synchronously ? "sync" : "async") + " " + path.string());
    std::error_code ec;
    const auto size = std::filesystem::is_regular_file(path, ec)
                          ? fileManager_->fileSizeAtPath(path)
                          : std::optional<uint64_t>();
    if (!size || *size == 0) {
        debugLog("Already-submitted report being ignored");
        return false;
    }
    const double timeout =
        synchronously && !client_->supportsBackgroundRequests() ? kBlockingTimeout : kTimeout;
    const auto url = reportURL();
    if (!url) return false;  // without an endpoint the package waits in the prepared folder
    net::URLRequest request = mutableRequestWithURL(*url, timeout);
    request.httpMethod = "POST";
    if (!fillInRequestForMultipartMimeDataAtPath(request, path)) return false;
    client_->startUploadRequest(request, path.string(), synchronously);
    return true;
}

void QXReportsController::reportUploadAtPathCompletedWithError(
    const std::filesystem::path& path, const std::optional<net::Error>& error) {
    debugLog("completed submission of " + path.string());
    if (!error) cleanUpSubmittedReportAtPath(path);
    if (auto d = delegate()) d->reportsControllerDidCompletePackageSubmission(*this, path, error);
}

bool QXReportsController::cleanUpSubmittedReportAtPath(const std::filesystem::path& path) {
    if (!fileManager_->removeItemAtPath(path)) {
        log("Unable to remove packaged submission");
        return false;
    }
    return true;
}

}  // namespace wv
