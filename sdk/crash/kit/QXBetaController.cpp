#include "sdk/crash/kit/QXBetaController.h"

#include "platform/dispatch/MainQueue.h"
#include "platform/foundation/Locale.h"
#include "platform/foundation/Log.h"
#include "platform/net/Error.h"
#include "sdk/core/TRNApplication.h"
#include "sdk/core/TRNCertificatePinner.h"
#include "sdk/core/TRNNetworkClient.h"
#include "sdk/core/TRNURLBuilder.h"
#include "sdk/core/Tarnel.h"
#include "sdk/crash/context/QXApplication.h"

namespace wv {
namespace {

std::mutex gTokenMutex;
std::optional<std::string> gTokenForTesting;

void log(const std::string& text) { Log::system("[Quellix:Beta] " + text); }

void debugLog(const std::string& text) {
    if (Tarnel::sharedSDK().debug()) log(text);
}

std::optional<TRNURLBuilder::Value> queryValue(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    return TRNURLBuilder::Value(*text);
}

}  // namespace

std::optional<std::string> QXGetBetaToken() {
    std::lock_guard lock(gTokenMutex);
    return gTokenForTesting;
}

void QXSetBetaTokenForTesting(std::optional<std::string> token) {
    std::lock_guard lock(gTokenMutex);
    gTokenForTesting = std::move(token);
}

bool QXBetaController::isBetaSupported() {
    if (QXApplicationIsExtension()) return false;
    return TRNApplicationInstallSource() == 3;
}

std::vector<net::Certificate> QXBetaController::pinnnedCertificates() {
    return TRNPinnedCertificates();
}

QXBetaController::QXBetaController(std::weak_ptr<QXBetaControllerDelegate> delegate)
    : delegate_(std::move(delegate)), queue_(std::make_unique<SerialQueue>(kQueueLabel)) {}

std::shared_ptr<QXBetaController> QXBetaController::create(
    std::weak_ptr<QXBetaControllerDelegate> delegate) {
    std::shared_ptr<QXBetaController> controller(new QXBetaController(std::move(delegate)));
    controller->networkClient_ = TRNNetworkClient::createWithQueue(nullptr, pinnnedCertificates());
    if (!controller->networkClient_) debugLog("Failed to configure networking");
    return controller;
}

QXBetaController::~QXBetaController() {
    if (observer_) NotificationCenter::defaultCenter().removeObserver(*observer_);
}

std::optional<std::string> QXBetaController::betaToken() {
    std::lock_guard lock(mutex_);
    if (!tokenRead_) {
        betaToken_ = QXGetBetaToken();
        tokenRead_ = true;
    }
    return betaToken_;
}

bool QXBetaController::start() {
    if (!betaToken()) return false;
    std::lock_guard lock(mutex_);
    if (!observer_) {
        std::weak_ptr<QXBetaController> weak = weak_from_this();
        observer_ = NotificationCenter::defaultCenter().addObserver(
            Tarnel::kSettingsAvailableNotification, nullptr, [weak](const Notification& n) {
                if (auto self = weak.lock()) self->tarnelSettingsDownloaded(n);
            });
    }
    return true;
}

void QXBetaController::tarnelSettingsDownloaded(const Notification&) { checkForUpdate(); }

void QXBetaController::applicationWillEnterForeground(const Notification&) { checkForUpdate(); }

void QXBetaController::applicationWillEnterForeground() { checkForUpdate(); }

void QXBetaController::checkForUpdate() {
    std::weak_ptr<QXBetaController> weak = weak_from_this();
    maybeGetUpdate([weak](std::shared_ptr<QXBetaUpdate> update, std::optional<Error>) {
        if (auto self = weak.lock()) self->didGetUpdate(std::move(update));
    });
}

void QXBetaController::maybeGetUpdate(UpdateCompletion completion) {
    auto self = shared_from_this();
    queue_->async([self, completion = std::move(completion)] {
        if (!self->shouldGetUpdates() || self->retrying_.load()) return;
        self->loadUpdateWithCompletionBlock(completion);
    });
}

void QXBetaController::loadUpdateWithCompletionBlock(UpdateCompletion completion) {
    debugLog("Loading beta update");
    const auto url = betaUpdateURL();
    if (!url) {
        // No endpoint, or one that makes no URL: nothing is sent and nothing is in flight.
        const Error error{net::kURLErrorDomain, net::URLError::BadURL,
                          {{Error::kLocalizedDescriptionKey,
                            std::string("no usable beta update-check URL")}}};
        debugLog("Failed to load update '" + error.description() + "'");
        return;
    }
    debugLog("Beta Update-Check url string: '" + *url + "'");
    auto request = betaUpdateRequest(*url);
    auto self = shared_from_this();
    queue_->async([self, request = std::move(request), completion = std::move(completion)] {
        if (self->retrying_.load()) return;
        if (!self->networkClient_) {
            debugLog("Failed to load update 'no network client'");
            return;
        }
        self->retrying_.store(true);
        self->networkClient_->startDataTaskWithRequest(
            request, kRetryLimit,
            [self, completion](const std::optional<std::string>& data,
                               const std::optional<net::URLResponse>&,
                               const std::optional<Error>& error) {
                self->handledCompletedBetaRequestWithData(data, error, completion);
            });
    });
}

void QXBetaController::handledCompletedBetaRequestWithData(const std::optional<std::string>& data,
                                                           const std::optional<Error>& error,
                                                           UpdateCompletion completion) {
    auto self = shared_from_this();
    if (!error && data && !data->empty()) {
        queue_->async([self, body = *data, completion = std::move(completion)] {
            debugLog("Beta update loaded");
            self->temporarilySuspendChecks();
            self->retrying_.store(false);
            std::optional<Error> parseError;
            auto update = updateWithData(body, &parseError);
            if (completion) completion(std::move(update), std::move(parseError));
        });
        return;
    }
    const Error failure =
        error ? *error
              : Error{net::kURLErrorDomain, -1014,
                      {{Error::kLocalizedDescriptionKey, std::string("the reply had no body")}}};
    debugLog("Failed to load update '" + failure.description() + "'");
    // A failed check must not leave the mark behind: every later check of the process would
    // take it for one still in flight and never ask again.
    queue_->async([self] { self->retrying_.store(false); });
}

std::shared_ptr<QXBetaUpdate> QXBetaController::updateWithData(const std::string& data,
                                                               std::optional<Error>* error) {
    const auto json = nlohmann::json::parse(data, nullptr, false);
    if (json.is_discarded()) {
        const Error parseError{
            "NSCocoaErrorDomain", 3840,
            {{Error::kLocalizedDescriptionKey,
              std::string("The data couldn't be read because it isn't in the correct format.")}}};
        debugLog("Unable to deserialize beta update data: " + parseError.description());
        if (error) *error = parseError;
        return nullptr;
    }
    std::optional<Error> readError;
    auto update = QXBetaUpdate::betaUpdateWithDictionary(json, &readError);
    if (!update) {
        debugLog("Unable to read beta update data: " +
                 (readError ? readError->description() : std::string("(null)")));
        if (error) *error = readError;
    }
    return update;
}

void QXBetaController::temporarilySuspendChecks() {
    const auto duration = betaUpdateSuspendDurationSecs();
    if (!duration) return;
    // Marked at once, on the caller's thread: a check asked for before the main queue gets to
    // the timer must already be refused.
    checksSuspended_.store(true);
    std::weak_ptr<QXBetaController> weak = weak_from_this();
    MainQueue::shared().async([weak, seconds = *duration] {
        auto self = weak.lock();
        if (!self) return;
        auto timer = Timer::scheduled(seconds, false, [weak](Timer&) {
            if (auto controller = weak.lock()) controller->allowChecks();
        });
        std::shared_ptr<Timer> previous;
        {
            std::lock_guard lock(self->mutex_);
            previous = std::exchange(self->checkSuspensionTimer_, std::move(timer));
        }
        if (previous) previous->invalidate();
    });
}

void QXBetaController::allowChecks() {
    checksSuspended_.store(false);
    std::shared_ptr<Timer> timer;
    {
        std::lock_guard lock(mutex_);
        timer = std::move(checkSuspensionTimer_);
    }
    if (timer) timer->invalidate();
}

bool QXBetaController::shouldGetUpdates() {
    return isBetaSupported() && !checksSuspended_.load();
}

void QXBetaController::didGetUpdate(std::shared_ptr<QXBetaUpdate> update) {
    if (update && !update->url().empty()) {
        auto self = shared_from_this();
        MainQueue::shared().async([self, update] { self->showBetaAlertForUpdate(update); });
        return;
    }
    debugLog("Beta update url is invalid");
}

void QXBetaController::showBetaAlertForUpdate(std::shared_ptr<QXBetaUpdate> update) {
    // No prompt is shown: the offer is only kept.
    std::lock_guard lock(mutex_);
    activeUpdate_ = std::move(update);
}

std::shared_ptr<QXBetaUpdate> QXBetaController::activeUpdate() const {
    std::lock_guard lock(mutex_);
    return activeUpdate_;
}

std::optional<std::string> QXBetaController::betaUpdateURL() {
    const std::string endpoint = betaEndpoint();
    if (endpoint.empty()) return std::nullopt;
    auto builder = TRNURLBuilder::URLWithBase(endpoint);
    builder.appendComponent("/spi/v2/platforms/");
    builder.appendComponent("mac");
    builder.appendComponent("/apps/");
    builder.escapeAndAppendComponent(appBundleIdentifier().value_or(""));
    builder.appendComponent("/beta_update_check");
    builder.appendValue(queryValue(appBuildVersion()), "build_version");
    builder.appendValue(queryValue(appDisplayVersion()), "display_version");
    builder.appendValue(queryValue(appInstanceIdentifier()), "instance");
    builder.appendValue(TRNURLBuilder::Value(int64_t{appInstallationSource()}), "source");
    return builder.URL();
}

net::URLRequest QXBetaController::betaUpdateRequest(const std::string& url) {
    net::URLRequest request(url, kRequestTimeout);
    request.httpMethod = "GET";
    request.cachePolicy = net::URLRequest::CachePolicy::ReloadIgnoringLocalCacheData;
    const std::string locale = Locale::currentIdentifier().value_or("en_US_POSIX");
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
    request.headers.set("X-Quellix-Beta-Token", betaToken().value_or(""));
    return request;
}

QXSettings QXBetaController::settings() {
    if (auto delegate = delegate_.lock()) return delegate->settingsForBetaController(*this);
    return QXSettings();
}

std::optional<std::string> QXBetaController::appBundleIdentifier() {
    return TRNApplicationBundleIdentifier();
}
std::optional<std::string> QXBetaController::appBuildVersion() {
    return TRNApplicationBuildVersion();
}
std::optional<std::string> QXBetaController::appDisplayVersion() {
    return TRNApplicationDisplayVersion();
}
std::optional<std::string> QXBetaController::appInstanceIdentifier() {
    return Tarnel::sharedSDK().instanceIdentifier();
}
int QXBetaController::appInstallationSource() { return TRNApplicationInstallSource(); }

std::optional<std::string> QXBetaController::APIKey() {
    if (auto delegate = delegate_.lock()) return delegate->APIKeyForBetaController(*this);
    return std::nullopt;
}

std::string QXBetaController::betaEndpoint() { return settings().betaEndpoint(); }

std::optional<double> QXBetaController::betaUpdateSuspendDurationSecs() {
    if (delegate_.expired()) return std::nullopt;
    return settings().betaSuspendDuration();
}

}  // namespace wv
