#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Decimal.h"
#include "platform/plist/Value.h"
#include "sdk/core/TRNKit.h"

namespace wv {

class PLREvent;
class PLRCrashEvent;
class PLRPlurioController;
class Tarnel;

// The analytics kit's public face. The application records what its user does through the
// class methods; the crash kit starts the kit and reports the previous run's crash through the
// operations of the kit class registered under "Plurio"; the SDK core starts it as one kit of
// its list.
//
// Every log method builds its event on the caller's thread (attribute checks and their messages
// happen there) and hands it to the controller's serial queue; none blocks, does input or
// output, or reports an error. Before the kit is started, or in Orvelle mode, events are
// dropped. Every argument may be absent; "attributes" map text keys to text or number values.
//
// Threads: any. The shared instance and the start are each made once, whoever calls first.
class Plurio {
  public:
    using Arg = std::optional<plist::Value>;
    using Price = std::optional<Decimal>;
    using Attributes = std::optional<plist::Dictionary>;

    static constexpr const char* kBundleIdentifier = "com.balvik.plurio.mac";
    static constexpr const char* kKitDisplayVersion = "1.3.7";
    static constexpr const char* kKitBuildVersion = "30";

    // The process-wide instance: over Tarnel::sharedSDK() and the user's caches folder.
    static Plurio& sharedInstance();
    // An instance over its own SDK core and root folder (tests); a ScopedSharedInstance makes
    // it the one the class methods use.
    Plurio(Tarnel& sdk, std::optional<std::filesystem::path> rootDirectory);
    ~Plurio();
    Plurio(const Plurio&) = delete;
    Plurio& operator=(const Plurio&) = delete;

    // While alive, sharedInstance() is `instance` (tests); the previous one comes back after.
    class ScopedSharedInstance {
      public:
        explicit ScopedSharedInstance(Plurio& instance);
        ~ScopedSharedInstance();
        ScopedSharedInstance(const ScopedSharedInstance&) = delete;
        ScopedSharedInstance& operator=(const ScopedSharedInstance&) = delete;

      private:
        Plurio* previous_;
    };

    // The kit class (identity, initializeIfNeeded, and the TRNPlurioOperations the crash kit
    // calls). registerKitClass() makes it findable under "Plurio"; call it once while the
    // program starts, before Tarnel::with.
    static const TRNKitClass& kitClass();
    static void registerKitClass();

    // Starts the shared instance; only the first call of the process has an effect.
    static void startWithBetaToken(const std::optional<std::string>& betaToken);
    // The start of this instance; only its first call has an effect, whatever token later
    // calls pass.
    void startInstanceWithBetaToken(const std::optional<std::string>& betaToken);
    void configureLogging();
    // The SDK core's start hook: leaves the start to the crash kit when that is linked.
    static void initializeIfNeeded();

    static void logSignUpWithMethod(Arg method, Arg success, Attributes customAttributes);
    static void logLoginWithMethod(Arg method, Arg success, Attributes customAttributes);
    static void logShareWithMethod(Arg method, Arg contentName, Arg contentType, Arg contentId,
                                   Attributes customAttributes);
    static void logInviteWithMethod(Arg method, Attributes customAttributes);
    static void logPurchaseWithPrice(Price price, Arg currency, Arg success, Arg itemName,
                                     Arg itemType, Arg itemId, Attributes customAttributes);
    static void logLevelStart(Arg levelName, Attributes customAttributes);
    static void logLevelEnd(Arg levelName, Arg score, Arg success, Attributes customAttributes);
    static void logAddToCartWithPrice(Price price, Arg currency, Arg itemName, Arg itemType,
                                      Arg itemId, Attributes customAttributes);
    static void logStartCheckoutWithPrice(Price totalPrice, Arg currency, Arg itemCount,
                                          Attributes customAttributes);
    static void logRating(Arg rating, Arg contentName, Arg contentType, Arg contentId,
                          Attributes customAttributes);
    static void logContentViewWithName(Arg contentName, Arg contentType, Arg contentId,
                                       Attributes customAttributes);
    static void logSearchWithQuery(Arg query, Attributes customAttributes);
    static void logCustomEventWithName(std::optional<std::string> eventName,
                                       Attributes customAttributes);

    // A crash of the previous run, recorded even in Orvelle mode; none: nothing.
    static void logPreviousSessionCrashedOnDate(std::optional<plist::Date> date);
    static void printMethodUnavailableWithSelector(std::string_view selector);

    // Waits, at most `timeout`, until the kit's queue has done every piece of work handed to it
    // so far (quitting calls it after posting the terminate notification, so that event reaches
    // the disk). True when the queue got there, or when the kit was never started.
    static bool waitForPendingEvents(std::chrono::milliseconds timeout);

    Tarnel& sdk() const { return sdk_; }
    // Null until started.
    std::shared_ptr<PLRPlurioController> plurioController() const;

  private:
    bool refusedInOrvelleMode(std::string_view selector) const;
    void logEvent(std::shared_ptr<PLREvent> event) const;

    Tarnel& sdk_;
    std::optional<std::filesystem::path> rootDirectory_;
    std::once_flag startOnce_;
    // Written once inside the start guard; read from any thread.
    std::shared_ptr<PLRPlurioController> controller_;
    std::atomic<bool> started_{false};
};

}  // namespace wv
