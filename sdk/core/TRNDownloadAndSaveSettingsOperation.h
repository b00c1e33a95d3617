#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/net/URLResponse.h"
#include "sdk/core/TRNDownloadAndSaveSettingsOperationDelegate.h"
#include "sdk/core/TRNNetworkOperation.h"

namespace wv {

class TRNNetworkClient;

// Downloads settings.json once (one retry at most, by the network client's rules) and puts it
// in place. The reply must be a JSON object; it is moved beside settings.json and renamed over
// it, and only then is everything else in the settings folder removed, so a failure at any step
// keeps the previous file. Started directly (no queue): `main` runs on the starting thread, the
// delegate is told on the network client's callback thread, then the operation finishes.
// An operation whose network client is already gone ends with the client's -3 at once.
class TRNDownloadAndSaveSettingsOperation : public TRNNetworkOperation {
  public:
    static constexpr uint64_t kRetryLimit = 1;

    // None without an API key. The advertising token is kept only when `reportDeviceIdentifiers`
    // (the application's choice, see TRNShouldCollectDeviceIdentifiers); `debug` says whether
    // the suppression is logged.
    static std::shared_ptr<TRNDownloadAndSaveSettingsOperation> initWithAPIKey(
        const std::optional<std::string>& APIKey,
        std::weak_ptr<TRNDownloadAndSaveSettingsOperationDelegate> delegate,
        std::string settingsURL, std::filesystem::path settingsDirectoryPath,
        std::filesystem::path settingsFilePath, std::string installIdentifier,
        std::optional<std::string> advertisingToken, std::weak_ptr<TRNNetworkClient> networkClient,
        bool reportDeviceIdentifiers, bool debug);

    std::string className() const override { return "TRNDownloadAndSaveSettingsOperation"; }
    void main() override;

    // The kit's default request plus the settings service's headers.
    net::URLRequest mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(
        const std::string& url) const;

    const std::string& settingsURL() const { return settingsURL_; }
    const std::filesystem::path& settingsDirectoryPath() const { return settingsDirectoryPath_; }
    const std::filesystem::path& settingsFilePath() const { return settingsFilePath_; }
    const std::string& installIdentifier() const { return installIdentifier_; }
    const std::optional<std::string>& advertisingToken() const { return advertisingToken_; }
    std::optional<net::Error> error() const;

    TRNDownloadAndSaveSettingsOperation(std::string APIKey,
                                        std::weak_ptr<TRNDownloadAndSaveSettingsOperationDelegate>,
                                        std::string, std::filesystem::path, std::filesystem::path,
                                        std::string, std::optional<std::string>,
                                        std::weak_ptr<TRNNetworkClient>);

    // Puts a downloaded file in place: moved into the settings folder under a temporary name,
    // checked to be a JSON object, renamed over settings.json, then the folder's other entries
    // removed. The error that stopped it, if any; the previous settings.json then stays.
    std::optional<net::Error> installDownload(const std::string& downloaded,
                                              const std::optional<net::URLResponse>& response);

  private:
    void downloadCompleted(const std::optional<std::string>& path,
                           const std::optional<net::URLResponse>& response,
                           std::optional<net::Error> error);
    void complete(std::optional<net::Error> error);

    const std::weak_ptr<TRNDownloadAndSaveSettingsOperationDelegate> delegate_;
    const std::string settingsURL_;
    const std::filesystem::path settingsDirectoryPath_;
    const std::filesystem::path settingsFilePath_;
    const std::string installIdentifier_;
    const std::optional<std::string> advertisingToken_;
    const std::weak_ptr<TRNNetworkClient> networkClient_;
    mutable std::mutex errorMutex_;
    std::optional<net::Error> error_;
};

}  // namespace wv
