#include "sdk/core/TRNDownloadAndSaveSettingsOperation.h"

#include <nlohmann/json.hpp>

#include "platform/foundation/Log.h"
#include "platform/net/FileMove.h"
#include "sdk/core/TRNHashing.h"
#include "sdk/core/TRNHost.h"
#include "sdk/core/TRNNetworkClient.h"
#include "sdk/core/TRNNetworkResponseHandler.h"
#include "sdk/core/TRNSettings.h"
#include "sdk/core/TRNURLBuilder.h"
#include "sdk/core/Tarnel.h"

namespace wv {

namespace {

net::Error fileError(const std::error_code& ec, const std::string& what) {
    std::map<std::string, std::any> info;
    info[Error::kLocalizedDescriptionKey] = what + ": " + ec.message();
    return net::Error{"NSPOSIXErrorDomain", ec.value(), std::move(info)};
}

bool isJSONObject(const std::optional<std::string>& text) {
    if (!text) return false;
    try {
        return nlohmann::json::parse(*text).is_object();
    } catch (const nlohmann::json::exception&) {
        return false;
    }
}

}  // namespace

std::shared_ptr<TRNDownloadAndSaveSettingsOperation>
TRNDownloadAndSaveSettingsOperation::initWithAPIKey(
    const std::optional<std::string>& APIKey,
    std::weak_ptr<TRNDownloadAndSaveSettingsOperationDelegate> delegate, std::string settingsURL,
    std::filesystem::path settingsDirectoryPath, std::filesystem::path settingsFilePath,
    std::string installIdentifier, std::optional<std::string> advertisingToken,
    std::weak_ptr<TRNNetworkClient> networkClient, bool reportDeviceIdentifiers, bool debug) {
    if (!APIKey) return nullptr;
    if (!reportDeviceIdentifiers) {
        advertisingToken.reset();
        if (debug) Log::system("[Tarnel] Suppressing device identifier reporting");
    }
    return std::make_shared<TRNDownloadAndSaveSettingsOperation>(
        *APIKey, std::move(delegate), std::move(settingsURL), std::move(settingsDirectoryPath),
        std::move(settingsFilePath), std::move(installIdentifier), std::move(advertisingToken),
        std::move(networkClient));
}

TRNDownloadAndSaveSettingsOperation::TRNDownloadAndSaveSettingsOperation(
    std::string APIKey, std::weak_ptr<TRNDownloadAndSaveSettingsOperationDelegate> delegate,
    std::string settingsURL, std::filesystem::path settingsDirectoryPath,
    std::filesystem::path settingsFilePath, std::string installIdentifier,
    std::optional<std::string> advertisingToken, std::weak_ptr<TRNNetworkClient> networkClient)
    : TRNNetworkOperation(std::move(APIKey)),
      delegate_(std::move(delegate)),
      settingsURL_(std::move(settingsURL)),
      settingsDirectoryPath_(std::move(settingsDirectoryPath)),
      settingsFilePath_(std::move(settingsFilePath)),
      installIdentifier_(std::move(installIdentifier)),
      advertisingToken_(std::move(advertisingToken)),
      networkClient_(std::move(networkClient)) {}

std::optional<net::Error> TRNDownloadAndSaveSettingsOperation::error() const {
    std::lock_guard lock(errorMutex_);
    return error_;
}

net::URLRequest
TRNDownloadAndSaveSettingsOperation::mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(
    const std::string& url) const {
    net::URLRequest request =
        TRNNetworkOperation::mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(url);
    request.httpMethod = "GET";
    request.headers.set("Accept", "application/json");
    request.headers.set("X-Quellix-Installation-ID", installIdentifier_);
    if (auto model = TRNHostModel()) request.headers.set("X-Quellix-Device-Model", *model);
    if (auto build = TRNHostOSBuildVersion())
        request.headers.set("X-Quellix-OS-Build-Version", *build);
    request.headers.set("X-Quellix-OS-Display-Version", TRNHostOSDisplayVersion());
    request.headers.set("X-Quellix-API-Client-Version", Tarnel::kDisplayVersion);
    if (advertisingToken_ && !advertisingToken_->empty())
        request.headers.set("X-Quellix-Advertising-Token", *advertisingToken_);
    return request;
}

void TRNDownloadAndSaveSettingsOperation::main() {
    auto client = networkClient_.lock();
    if (!client) {
        complete(TRNNetworkResponseHandler::errorForCode(-3));
        return;
    }
    if (!TRNURLBuilder::URLWithBase(settingsURL_).URL()) {
        complete(net::makeURLError(net::URLError::BadURL, settingsURL_, "bad URL"));
        return;
    }
    auto self = std::static_pointer_cast<TRNDownloadAndSaveSettingsOperation>(shared_from_this());
    client->startDownloadTaskWithRequest(
        mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(settingsURL_), kRetryLimit,
        [self](const auto& path, const auto& response, const auto& error) {
            self->downloadCompleted(path, response, error);
        });
}

void TRNDownloadAndSaveSettingsOperation::downloadCompleted(
    const std::optional<std::string>& path, const std::optional<net::URLResponse>& response,
    std::optional<net::Error> error) {
    if (!error) {
        // The temporary file is deleted once this returns: it is moved here or never.
        error = path ? installDownload(*path, response)
                     : TRNNetworkResponseHandler::errorForResponse(
                           response, TRNResponseType::Failure, response ? response->statusCode : 0);
    }
    complete(std::move(error));
}

std::optional<net::Error> TRNDownloadAndSaveSettingsOperation::installDownload(
    const std::string& downloaded, const std::optional<net::URLResponse>& response) {
    std::error_code ec;
    std::filesystem::create_directories(settingsDirectoryPath_, ec);
    const std::filesystem::path staged =
        settingsDirectoryPath_ / (".settings.json." + TRNGenerateUUIDString() + ".download");
    auto discardStaged = [&] {
        std::error_code ignored;
        std::filesystem::remove(staged, ignored);
    };
    if (!net::moveFile(downloaded, staged.string(), ec)) {
        discardStaged();
        const net::Error failure =
            fileError(ec, "moving the download into " + settingsDirectoryPath_.string());
        Log::system("[Tarnel] Unable to complete settings download " + failure.description());
        return failure;
    }
    // A reply that is no settings document is the service's failure, not a local one: it is
    // reported as such and the previous file stays in use.
    if (!isJSONObject(TRNSettings::readDocument(staged))) {
        discardStaged();
        return TRNNetworkResponseHandler::errorForResponse(response, TRNResponseType::Failure,
                                                           response ? response->statusCode : 0);
    }
    // A folder in the file's place is no previous settings to keep.
    if (std::filesystem::is_directory(settingsFilePath_, ec))
        std::filesystem::remove_all(settingsFilePath_, ec);
    std::filesystem::rename(staged, settingsFilePath_, ec);
    if (ec) {
        discardStaged();
        const net::Error failure = fileError(ec, "renaming it to " + settingsFilePath_.string());
        Log::system("[Tarnel] Unable to complete settings download " + failure.description());
        return failure;
    }
    // The folder holds nothing but settings.json.
    std::vector<std::filesystem::path> others;
    for (std::filesystem::directory_iterator it(settingsDirectoryPath_, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (it->path().filename() != settingsFilePath_.filename()) others.push_back(it->path());
    }
    for (const auto& other : others) {
        std::error_code ignored;
        std::filesystem::remove_all(other, ignored);
    }
    return std::nullopt;
}

void TRNDownloadAndSaveSettingsOperation::complete(std::optional<net::Error> error) {
    {
        std::lock_guard lock(errorMutex_);
        error_ = error;
    }
    if (auto delegate = delegate_.lock())
        delegate->operationDidDownloadAndSaveSettingsWithError(*this, error);
    finishWithError(error);
}

}  // namespace wv
