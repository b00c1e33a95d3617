#include "app/sdk/ReportingSdk.h"

#include <functional>
#include <optional>
#include <vector>

#include "app/AppDelegate.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Application.h"
#include "sdk/analytics/Plurio.h"
#include "sdk/core/TRNException.h"
#include "sdk/core/Tarnel.h"
#include "sdk/crash/kit/Quellix.h"

namespace wv {

namespace {

plist::Dictionary dictionaryOf(const EventAttributes& attributes) {
    plist::Dictionary dictionary;
    for (const auto& [key, value] : attributes) dictionary.set(key, plist::Value(value));
    return dictionary;
}

Plurio::Arg numberOf(std::optional<int64_t> value) {
    return value ? Plurio::Arg(plist::Value(*value)) : std::nullopt;
}

Plurio::Arg textOf(const std::optional<std::string>& value) {
    return value ? Plurio::Arg(plist::Value(*value)) : std::nullopt;
}

void startKits() {
    // The crash kit finds the analytics kit by name, and the kit core adds it to the list.
    Plurio::registerKitClass();
    try {
        Tarnel::with({&Quellix::kitClass()});
    } catch (const TRNException& exception) {
        // A bundle without a valid "Tarnel" dictionary: the program runs without the SDK,
        // whose event calls then drop their events.
        Log::print(std::string("The reporting SDK did not start: ") + exception.what());
    }
}

}  // namespace

struct ReportingSdk::Pending {
    bool requested = false;
    bool started = false;
    std::vector<std::function<void()>> events;
    std::vector<NotificationCenter::ObserverToken> observers;
    std::optional<MainQueue::Ticket> latest;

    void startNow() {
        if (started) return;
        started = true;
        for (auto token : observers) NotificationCenter::defaultCenter().removeObserver(token);
        observers.clear();
        if (latest) MainQueue::shared().cancel(*latest);
        startKits();
        auto waiting = std::move(events);
        events.clear();
        for (auto& event : waiting) event();
    }

    // Before start() nothing waits: the kit decides, as for any caller that did not start it.
    void send(std::function<void()> event) {
        if (started || !requested)
            event();
        else
            events.push_back(std::move(event));
    }
};

ReportingSdk::ReportingSdk() : pending_(std::make_shared<Pending>()) {}

ReportingSdk::~ReportingSdk() {
    for (auto token : pending_->observers) NotificationCenter::defaultCenter().removeObserver(token);
    if (pending_->latest) MainQueue::shared().cancel(*pending_->latest);
}

void ReportingSdk::start() {
    if (pending_->requested) {
        // A second start: the kit core logs that it was asked again.
        pending_->startNow();
        startKits();
        return;
    }
    pending_->requested = true;
    std::weak_ptr<Pending> weak = pending_;
    auto startNow = [weak] {
        if (auto pending = weak.lock()) pending->startNow();
    };
    // The kits watch the activation notices from their start on: they must not miss the
    // first one. (The quit notice has its own hook, called before it is posted.)
    pending_->observers.push_back(NotificationCenter::defaultCenter().addObserver(
        Application::kWillBecomeActiveNotification, nullptr, [startNow](const Notification&) {
            Application::shared().showFirstPictureNow();
            startNow();
        }));
    pending_->latest = MainQueue::shared().asyncAfter(kLatestStart, startNow);
    Application::shared().afterFirstPaint(startNow);
}

void ReportingSdk::applicationWillTerminate() {
    if (pending_->requested) pending_->startNow();
}

void ReportingSdk::logLevelStart(const std::string& levelName, const EventAttributes& attributes) {
    pending_->send([levelName, attributes] {
        Plurio::logLevelStart(plist::Value(levelName), dictionaryOf(attributes));
    });
}

void ReportingSdk::logLevelEnd(const std::string& levelName, std::optional<int64_t> score,
                               std::optional<int64_t> success, const EventAttributes& attributes) {
    pending_->send([levelName, score, success, attributes] {
        Plurio::logLevelEnd(plist::Value(levelName), numberOf(score), numberOf(success),
                            dictionaryOf(attributes));
    });
}

void ReportingSdk::logCustomEvent(const std::string& name, const EventAttributes& attributes) {
    pending_->send(
        [name, attributes] { Plurio::logCustomEventWithName(name, dictionaryOf(attributes)); });
}

void ReportingSdk::logContentView(const std::string& name, const std::optional<std::string>& type,
                                  const std::optional<std::string>& id,
                                  const EventAttributes& attributes) {
    pending_->send([name, type, id, attributes] {
        Plurio::logContentViewWithName(plist::Value(name), textOf(type), textOf(id),
                                       dictionaryOf(attributes));
    });
}

void ReportingSdk::plugSelfTests(AppDelegate& delegate) {
    delegate.crashKitCrash = [] { Quellix::crash(); };
    delegate.crashKitThrowException = [] { Quellix::throwException(); };
}

}  // namespace wv
