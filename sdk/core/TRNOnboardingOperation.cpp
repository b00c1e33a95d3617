#include "sdk/core/TRNOnboardingOperation.h"

#include "platform/foundation/Log.h"
#include "platform/net/MemoryOutputStream.h"
#include "sdk/core/TRNApplication.h"
#include "sdk/core/TRNApplicationIdentiferModel.h"
#include "sdk/core/TRNMultipartMimeStreamEncoder.h"
#include "sdk/core/TRNNetworkClient.h"
#include "sdk/core/TRNNetworkResponseHandler.h"
#include "sdk/core/TRNURLBuilder.h"
#include "sdk/core/Tarnel.h"

namespace wv {

namespace {

std::optional<TRNMultipartMimeStreamEncoder::Value> text(const std::optional<std::string>& s) {
    if (!s) return std::nullopt;
    return *s;
}

}  // namespace

std::shared_ptr<TRNOnboardingOperation> TRNOnboardingOperation::initWithDelegate(
    std::weak_ptr<TRNOnboardingOperationDelegate> delegate, bool shouldCreate,
    const std::optional<std::string>& APIKey,
    std::map<std::string, std::string> kitVersionsByKitBundleIdentifier,
    std::shared_ptr<TRNApplicationIdentiferModel> appIdentifierModel, std::string endpointString,
    std::weak_ptr<TRNNetworkClient> networkClient) {
    if (!APIKey) return nullptr;
    return std::make_shared<TRNOnboardingOperation>(
        *APIKey, std::move(delegate), shouldCreate, std::move(kitVersionsByKitBundleIdentifier),
        std::move(appIdentifierModel), std::move(endpointString), std::move(networkClient));
}

TRNOnboardingOperation::TRNOnboardingOperation(
    std::string APIKey, std::weak_ptr<TRNOnboardingOperationDelegate> delegate, bool shouldCreate,
    std::map<std::string, std::string> kitVersions,
    std::shared_ptr<TRNApplicationIdentiferModel> model, std::string endpoint,
    std::weak_ptr<TRNNetworkClient> networkClient)
    : TRNNetworkOperation(std::move(APIKey)),
      shouldCreate_(shouldCreate),
      delegate_(std::move(delegate)),
      appIdentifierModel_(std::move(model)),
      appEndpoint_(std::move(endpoint)),
      networkClient_(std::move(networkClient)),
      kitVersionsByKitBundleIdentifier_(std::move(kitVersions)) {}

std::optional<std::string> TRNOnboardingOperation::appBundleIdentifier() {
    return TRNApplicationBundleIdentifier();
}
std::string TRNOnboardingOperation::appPlatform() { return Tarnel::kPlatform; }
std::optional<std::string> TRNOnboardingOperation::appName() { return TRNApplicationName(); }
std::optional<std::string> TRNOnboardingOperation::appBuildVersion() {
    return TRNApplicationBuildVersion();
}
std::optional<std::string> TRNOnboardingOperation::appDisplayVersion() {
    return TRNApplicationDisplayVersion();
}
int64_t TRNOnboardingOperation::appInstallSource() { return TRNApplicationInstallSource(); }

net::Error TRNOnboardingOperation::errorForCode(int64_t code,
                                                std::map<std::string, std::any> userInfo) {
    return net::Error{kTRNSDKOnboardingErrorDomain, code, std::move(userInfo)};
}

std::optional<net::Error> TRNOnboardingOperation::error() const {
    std::lock_guard lock(errorMutex_);
    return error_;
}

std::optional<std::string> TRNOnboardingOperation::appCreateURL() const {
    TRNURLBuilder url = TRNURLBuilder::URLWithBase(appEndpoint_);
    url.appendComponent("/spi/v1/platforms/");
    url.escapeAndAppendComponent(appPlatform());
    url.appendComponent("/apps");
    return url.URL();
}

std::optional<std::string> TRNOnboardingOperation::appUpdateURL() const {
    TRNURLBuilder url = TRNURLBuilder::URLWithBase(appEndpoint_);
    url.appendComponent("/spi/v1/platforms/");
    url.escapeAndAppendComponent(appPlatform());
    url.appendComponent("/apps/");
    url.escapeAndAppendComponent(appBundleIdentifier().value_or(""));
    return url.URL();
}

net::URLRequest TRNOnboardingOperation::onboardingRequestForAppCreate(bool create) const {
    net::URLRequest request = mutableRequestWithDefaultHTTPHeadersForURL(
        (create ? appCreateURL() : appUpdateURL()).value_or(""), kRequestTimeout);
    request.httpMethod = create ? "POST" : "PUT";
    return request;
}

void TRNOnboardingOperation::encodeForm(TRNMultipartMimeStreamEncoder& encoder,
                                        const std::shared_ptr<TRNIcon>& icon) const {
    const auto* model = appIdentifierModel_.get();
    encoder.addValue(text(appBundleIdentifier()), "app[identifier]");
    encoder.addValue(text(model ? std::optional(model->instanceIdentifier()) : std::nullopt),
                     "app[instance_identifier]");
    encoder.addValue(text(appName()), "app[name]");
    encoder.addValue(text(appBuildVersion()), "app[build_version]");
    encoder.addValue(text(appDisplayVersion()), "app[display_version]");
    encoder.addValue(std::to_string(appInstallSource()), "app[source]");
    encoder.addValue(text(model ? std::optional(model->minimumSDKString()) : std::nullopt),
                     "app[minimum_sdk_version]");
    encoder.addValue(text(model ? std::optional(model->builtSDKString()) : std::nullopt),
                     "app[built_sdk_version]");
    for (const auto& [kit, version] : kitVersionsByKitBundleIdentifier_)
        encoder.addValue(version, "app[build][libraries][" + kit + "]");
    if (model) {
        for (const auto& [arch, uuid] : model->architectureUUIDMap()) {
            encoder.addValue(arch, "app[slices][][arch]");
            encoder.addValue(uuid, "app[slices][][uuid]");
        }
    }
    if (!icon || icon->data().empty() || icon->dataHash().empty()) return;
    // The service takes whole points; a fractional size is cut, as an unsigned cast cuts it.
    auto points = [](double v) { return std::to_string(v > 0 ? uint64_t(v) : 0); };
    encoder.addValue(icon->dataHash(), "app[icon][hash]");
    encoder.addValue(std::string(icon->prerendered() ? "true" : "false"), "app[icon][prerendered]");
    encoder.addValue(points(icon->size().width), "app[icon][width]");
    encoder.addValue(points(icon->size().height), "app[icon][height]");
    encoder.addFileData(
        std::string_view(reinterpret_cast<const char*>(icon->data().data()), icon->data().size()),
        "icon.png", std::string("image/png"), "app[icon][data]");
}

void TRNOnboardingOperation::beginAppConfigure() {
    auto client = networkClient_.lock();
    if (!client || appEndpoint_.empty()) {
        complete(TRNNetworkResponseHandler::errorForCode(-3));
        return;
    }
    auto stream = std::make_shared<net::MemoryOutputStream>();
    auto encoder = TRNMultipartMimeStreamEncoder::encoderWithStream(
        stream, TRNMultipartMimeStreamEncoder::generateBoundary());
    if (!encoder) {
        Log::system("[Tarnel] configure failed during onboarding");
        std::map<std::string, std::any> info;
        info[Error::kLocalizedDescriptionKey] = std::string("Multipart mime encoder was nil");
        complete(errorForCode(0, std::move(info)));
        return;
    }
    const auto icon = appIdentifierModel_ ? appIdentifierModel_->icon() : nullptr;
    encoder->encode([&](TRNMultipartMimeStreamEncoder& e) { encodeForm(e, icon); });

    net::URLRequest request = onboardingRequestForAppCreate(shouldCreate_);
    request.headers.set("Content-Type", encoder->contentTypeHTTPHeaderValue());
    request.headers.set("Content-Length", encoder->contentLengthHTTPHeaderValue());
    request.body = stream->takeData();
    auto self = std::static_pointer_cast<TRNOnboardingOperation>(shared_from_this());
    client->startDataTaskWithRequest(
        request, shouldCreate_ ? kCreateRetryLimit : kUpdateRetryLimit,
        [self](const auto&, const auto&, const auto& error) { self->complete(error); });
}

void TRNOnboardingOperation::complete(std::optional<net::Error> error) {
    {
        std::lock_guard lock(errorMutex_);
        error_ = error;
    }
    if (auto delegate = delegate_.lock()) {
        if (shouldCreate_)
            delegate->onboardingOperationDidCompleteAppCreationWithError(*this, error);
        else
            delegate->onboardingOperationDidCompleteAppUpdateWithError(*this, error);
    }
    finishWithError(error);
}

}  // namespace wv
