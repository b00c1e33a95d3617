#include "sdk/analytics/Plurio.h"

#include "sdk/analytics/PLRCrashEvent.h"
#include "sdk/analytics/PLRCustomEvent.h"
#include "sdk/analytics/PLRLogger.h"
#include "sdk/analytics/PLRPlurioController.h"
#include "sdk/analytics/PLRPredefinedEvent.h"
#include "sdk/core/TRNPlurioOperations.h"
#include "sdk/core/Tarnel.h"

namespace wv {
namespace {

std::atomic<Plurio*> gInstanceOverride{nullptr};

}  // namespace

Plurio& Plurio::sharedInstance() {
    if (Plurio* instance = gInstanceOverride.load(std::memory_order_acquire)) return *instance;
    // Made once and never destroyed: the kit's queue may still be at work while the process
    // ends.
    static Plurio* shared = new Plurio(Tarnel::sharedSDK(), std::nullopt);
    return *shared;
}

Plurio::Plurio(Tarnel& sdk, std::optional<std::filesystem::path> rootDirectory)
    : sdk_(sdk), rootDirectory_(std::move(rootDirectory)) {}

Plurio::~Plurio() {
    // Work still queued holds the controller; let it end here rather than on the queue's own
    // thread.
    if (auto controller = plurioController())
        controller->waitUntilEventQueueIdle(std::chrono::seconds(30));
}

Plurio::ScopedSharedInstance::ScopedSharedInstance(Plurio& instance)
    : previous_(gInstanceOverride.exchange(&instance)) {}

Plurio::ScopedSharedInstance::~ScopedSharedInstance() { gInstanceOverride.store(previous_); }

const TRNKitClass& Plurio::kitClass() {
    static const TRNKitClass kit = [] {
        TRNKitClass k;
        k.name = TRNPlurioOperations::kClassName;
        k.declaresTRNKit = true;
        k.bundleIdentifier = [] { return std::string(kBundleIdentifier); };
        k.kitDisplayVersion = [] { return std::string(kKitDisplayVersion); };
        k.kitBuildVersion = [] { return std::string(kKitBuildVersion); };
        k.initializeIfNeeded = [] { Plurio::initializeIfNeeded(); };
        auto operations = std::make_shared<TRNPlurioOperations>();
        operations->startWithBetaToken = [](const std::optional<std::string>& token) {
            Plurio::startWithBetaToken(token);
        };
        operations->logPreviousSessionCrashedOnDate = [](plist::Date date) {
            Plurio::logPreviousSessionCrashedOnDate(date);
        };
        operations->logCustomEventWithName =
            [](const std::string& name, const std::optional<plist::Dictionary>& attributes) {
                Plurio::logCustomEventWithName(name, attributes);
            };
        k.operations = std::shared_ptr<const TRNPlurioOperations>(std::move(operations));
        return k;
    }();
    return kit;
}

void Plurio::registerKitClass() { TRNRegisterKitClass(kitClass()); }

void Plurio::startWithBetaToken(const std::optional<std::string>& betaToken) {
    sharedInstance().startInstanceWithBetaToken(betaToken);
}

void Plurio::startInstanceWithBetaToken(const std::optional<std::string>& betaToken) {
    std::call_once(startOnce_, [&] {
        configureLogging();
        PLRLogger::sharedLogger().log("Initialized");
        controller_ = rootDirectory_ ? PLRPlurioController::create(sdk_, betaToken, *rootDirectory_)
                                     : PLRPlurioController::create(sdk_, betaToken);
        started_.store(true, std::memory_order_release);
    });
}

void Plurio::configureLogging() { PLRLogger::sharedLogger().setDebugMode(sdk_.debug()); }

void Plurio::initializeIfNeeded() {
    // With the crash kit linked, it starts this kit with its own beta token.
    const TRNKitClass* crashKit = TRNKitClassNamed("Quellix");
    if (crashKit && crashKit->declaresTRNKit) {
        if (crashKit->initializeIfNeeded) crashKit->initializeIfNeeded();
        return;
    }
    startWithBetaToken(std::nullopt);
}

std::shared_ptr<PLRPlurioController> Plurio::plurioController() const {
    // controller_ is written once, before started_ turns true, and never again.
    return started_.load(std::memory_order_acquire) ? controller_ : nullptr;
}

bool Plurio::refusedInOrvelleMode(std::string_view selector) const {
    if (!sdk_.orvelleMode()) return false;
    printMethodUnavailableWithSelector(selector);
    return true;
}

void Plurio::logEvent(std::shared_ptr<PLREvent> event) const {
    if (auto controller = plurioController()) controller->logEvent(std::move(event));
}

void Plurio::printMethodUnavailableWithSelector(std::string_view selector) {
    PLRLogger::sharedLogger().log(std::string(selector) +
                                  " is not supported when using Quellix through Orvelle.");
}

// Each log method: the Orvelle check, the event built here on the caller's thread, then the
// controller's queue.
#define PLR_LOG_PREDEFINED(selector, factory_call)              \
    Plurio& plurio = sharedInstance();                          \
    if (plurio.refusedInOrvelleMode(selector)) return;          \
    plurio.logEvent(PLRPredefinedEvent::factory_call)

void Plurio::logSignUpWithMethod(Arg method, Arg success, Attributes customAttributes) {
    PLR_LOG_PREDEFINED("logSignUpWithMethod:success:customAttributes:",
                       signUpEventWithMethod(std::move(method), std::move(success),
                                             std::move(customAttributes)));
}

void Plurio::logLoginWithMethod(Arg method, Arg success, Attributes customAttributes) {
    PLR_LOG_PREDEFINED("logLoginWithMethod:success:customAttributes:",
                       loginEventWithMethod(std::move(method), std::move(success),
                                            std::move(customAttributes)));
}

void Plurio::logShareWithMethod(Arg method, Arg contentName, Arg contentType, Arg contentId,
                                Attributes customAttributes) {
    PLR_LOG_PREDEFINED(
        "logShareWithMethod:contentName:contentType:contentId:customAttributes:",
        shareEventWithMethod(std::move(method), std::move(contentName), std::move(contentType),
                             std::move(contentId), std::move(customAttributes)));
}

void Plurio::logInviteWithMethod(Arg method, Attributes customAttributes) {
    PLR_LOG_PREDEFINED("logInviteWithMethod:customAttributes:",
                       inviteEventWithMethod(std::move(method), std::move(customAttributes)));
}

void Plurio::logPurchaseWithPrice(Price price, Arg currency, Arg success, Arg itemName,
                                  Arg itemType, Arg itemId, Attributes customAttributes) {
    PLR_LOG_PREDEFINED(
        "logPurchaseWithPrice:currency:success:itemName:itemType:itemId:customAttributes:",
        purchaseEventWithPrice(std::move(price), std::move(currency), std::move(success),
                               std::move(itemName), std::move(itemType), std::move(itemId),
                               std::move(customAttributes)));
}

void Plurio::logLevelStart(Arg levelName, Attributes customAttributes) {
    PLR_LOG_PREDEFINED("logLevelStart:customAttributes:",
                       levelStartEventWithLevelName(std::move(levelName),
                                                    std::move(customAttributes)));
}

void Plurio::logLevelEnd(Arg levelName, Arg score, Arg success, Attributes customAttributes) {
    PLR_LOG_PREDEFINED("logLevelEnd:score:success:customAttributes:",
                       levelEndEventWithLevelName(std::move(levelName), std::move(score),
                                                  std::move(success),
                                                  std::move(customAttributes)));
}

void Plurio::logAddToCartWithPrice(Price price, Arg currency, Arg itemName, Arg itemType,
                                   Arg itemId, Attributes customAttributes) {
    PLR_LOG_PREDEFINED(
        "logAddToCartWithPrice:currency:itemName:itemType:itemId:customAttributes:",
        addToCartEventWithPrice(std::move(price), std::move(currency), std::move(itemName),
                                std::move(itemType), std::move(itemId),
                                std::move(customAttributes)));
}

void Plurio::logStartCheckoutWithPrice(Price totalPrice, Arg currency, Arg itemCount,
                                       Attributes customAttributes) {
    PLR_LOG_PREDEFINED("logStartCheckoutWithPrice:currency:itemCount:customAttributes:",
                       startCheckoutEventWithPrice(std::move(totalPrice), std::move(currency),
                                                   std::move(itemCount),
                                                   std::move(customAttributes)));
}

void Plurio::logRating(Arg rating, Arg contentName, Arg contentType, Arg contentId,
                       Attributes customAttributes) {
    PLR_LOG_PREDEFINED("logRating:contentName:contentType:contentId:customAttributes:",
                       ratingEventWithRating(std::move(rating), std::move(contentName),
                                             std::move(contentType), std::move(contentId),
                                             std::move(customAttributes)));
}

void Plurio::logContentViewWithName(Arg contentName, Arg contentType, Arg contentId,
                                    Attributes customAttributes) {
    PLR_LOG_PREDEFINED("logContentViewWithName:contentType:contentId:customAttributes:",
                       contentViewEventWithName(std::move(contentName), std::move(contentType),
                                                std::move(contentId),
                                                std::move(customAttributes)));
}

void Plurio::logSearchWithQuery(Arg query, Attributes customAttributes) {
    PLR_LOG_PREDEFINED("logSearchWithQuery:customAttributes:",
                       searchEventWithQuery(std::move(query), std::move(customAttributes)));
}

#undef PLR_LOG_PREDEFINED

void Plurio::logCustomEventWithName(std::optional<std::string> eventName,
                                    Attributes customAttributes) {
    Plurio& plurio = sharedInstance();
    if (plurio.refusedInOrvelleMode("logCustomEventWithName:customAttributes:")) return;
    plurio.logEvent(
        std::make_shared<PLRCustomEvent>(std::move(eventName), std::move(customAttributes)));
}

void Plurio::logPreviousSessionCrashedOnDate(std::optional<plist::Date> date) {
    if (!date) return;
    // State 0 is written as "unknown": this platform does not know whether the crashed run was
    // in front.
    auto event = std::make_shared<PLRCrashEvent>(*date, 0);
    if (auto controller = sharedInstance().plurioController())
        controller->logCrashEvent(std::move(event));
}

bool Plurio::waitForPendingEvents(std::chrono::milliseconds timeout) {
    auto controller = sharedInstance().plurioController();
    return !controller || controller->waitUntilEventQueueIdle(timeout);
}

}  // namespace wv
