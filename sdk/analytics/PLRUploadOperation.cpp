#include "sdk/analytics/PLRUploadOperation.h"

#include <chrono>

#include "platform/foundation/WallClock.h"
#include "sdk/analytics/PLRFileUtils.h"
#include "sdk/analytics/PLRLogger.h"
#include "sdk/analytics/PLRUploader.h"
#include "sdk/core/TRNMultipartMimeStreamEncoder.h"

namespace wv {

PLRUploadOperation::PLRUploadOperation(std::shared_ptr<PLRUploader> uploader, std::string plurioURL,
                                       std::string apiKey, std::filesystem::path multipartURL,
                                       std::string multipartMimeBoundary)
    : uploader_(std::move(uploader)),
      plurioURL_(std::move(plurioURL)),
      apiKey_(std::move(apiKey)),
      multipartURL_(std::move(multipartURL)),
      multipartMimeBoundary_(std::move(multipartMimeBoundary)) {}

std::string PLRUploadOperation::currentTimestampString() {
    const double seconds = std::chrono::duration<double>(wallNow().time_since_epoch()).count();
    return std::to_string(int64_t(seconds));
}

net::URLRequest PLRUploadOperation::makeRequest() const {
    net::URLRequest request(plurioURL_);
    auto& h = request.headers;
    h.set("Content-Type", TRNMultipartMimeStreamEncoder::contentTypeHTTPHeaderValueWithBoundary(
                              multipartMimeBoundary_));
    h.set("Content-Length", std::to_string(PLRFileUtils::fileSizeAtURL(multipartURL_)));
    h.set("User-Agent", kUserAgent);
    h.set("X-QUELLIX-DEVELOPER-TOKEN", kDeveloperToken);
    h.set("X-QUELLIX-API-CLIENT-TYPE", kClientType);
    h.set("X-QUELLIX-API-CLIENT-VERSION", kClientVersion);
    h.set("X-QUELLIX-API-CLIENT-DISPLAY-VERSION", kClientDisplayVersion);
    h.set("X-QUELLIX-API-CLIENT-BUILD-VERSION", kClientVersion);
    h.set("X-QUELLIX-API-KEY", apiKey_);
    h.set("X-Quellix-Api-Client-Packaged-Timestamp", currentTimestampString());
    request.httpMethod = "POST";
    // The events go where the settings say and nowhere else: a redirect is an answer, not an
    // address to send the body to.
    request.followsRedirects = false;
    return request;
}

void PLRUploadOperation::main() {
    net::URLRequest request = makeRequest();
    const std::string uniqueName = PLRFileUtils::baseName(multipartURL_);
    PLRLogger::sharedLogger().log("Transmitting packaged events for '" + uniqueName + "'.");
    if (uploader_) uploader_->startUploadRequest(request, multipartURL_.string(), uniqueName);
}

}  // namespace wv
