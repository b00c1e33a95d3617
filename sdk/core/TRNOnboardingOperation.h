#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "sdk/core/TRNIcon.h"
#include "sdk/core/TRNNetworkOperation.h"
#include "sdk/core/TRNOnboardingOperationDelegate.h"

namespace wv {

class TRNApplicationIdentiferModel;
class TRNMultipartMimeStreamEncoder;
class TRNNetworkClient;

inline constexpr const char* kTRNSDKOnboardingErrorDomain = "TRNSDKOnboardingErrorDomain";

// Registers the application with the reporting service: one multipart form, built whole in
// memory, POSTed to create the application or PUT to update it. `main` runs on the starting
// thread; the delegate is told once on the network client's callback thread, then the
// operation finishes with the same error. With no endpoint, or a network client that is
// already gone, it ends at once with the client's -3 (there is no one to send to).
class TRNOnboardingOperation : public TRNNetworkOperation {
  public:
    static constexpr uint64_t kCreateRetryLimit = 10;
    static constexpr uint64_t kUpdateRetryLimit = 1;
    static constexpr double kRequestTimeout = 10.0;

    // None without an API key.
    static std::shared_ptr<TRNOnboardingOperation> initWithDelegate(
        std::weak_ptr<TRNOnboardingOperationDelegate> delegate, bool shouldCreate,
        const std::optional<std::string>& APIKey,
        std::map<std::string, std::string> kitVersionsByKitBundleIdentifier,
        std::shared_ptr<TRNApplicationIdentiferModel> appIdentifierModel,
        std::string endpointString, std::weak_ptr<TRNNetworkClient> networkClient);

    std::string className() const override { return "TRNOnboardingOperation"; }
    void main() override { beginAppConfigure(); }
    void beginAppConfigure();

    std::optional<std::string> appCreateURL() const;
    std::optional<std::string> appUpdateURL() const;
    net::URLRequest onboardingRequestForAppCreate(bool create) const;
    // Writes the form's fields, in the service's order; the icon's five fields only for an
    // icon with data and a hash.
    void encodeForm(TRNMultipartMimeStreamEncoder& encoder,
                    const std::shared_ptr<TRNIcon>& icon) const;

    static std::optional<std::string> appBundleIdentifier();
    static std::string appPlatform();
    static std::optional<std::string> appName();
    static std::optional<std::string> appBuildVersion();
    static std::optional<std::string> appDisplayVersion();
    static int64_t appInstallSource();
    static net::Error errorForCode(int64_t code, std::map<std::string, std::any> userInfo = {});

    bool shouldCreate() const { return shouldCreate_; }
    const std::string& appEndpoint() const { return appEndpoint_; }
    std::optional<net::Error> error() const;

    TRNOnboardingOperation(std::string APIKey, std::weak_ptr<TRNOnboardingOperationDelegate>, bool,
                           std::map<std::string, std::string>,
                           std::shared_ptr<TRNApplicationIdentiferModel>, std::string,
                           std::weak_ptr<TRNNetworkClient>);

  private:
    void complete(std::optional<net::Error> error);

    const bool shouldCreate_;
    const std::weak_ptr<TRNOnboardingOperationDelegate> delegate_;
    const std::shared_ptr<TRNApplicationIdentiferModel> appIdentifierModel_;
    const std::string appEndpoint_;
    const std::weak_ptr<TRNNetworkClient> networkClient_;
    const std::map<std::string, std::string> kitVersionsByKitBundleIdentifier_;
    mutable std::mutex errorMutex_;
    std::optional<net::Error> error_;
};

}  // namespace wv
