#include "app/sdk/ReportingSdk.h"

#include "app/AppDelegate.h"
#include "platform/foundation/Log.h"
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

}  // namespace

void ReportingSdk::start() {
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

void ReportingSdk::logLevelStart(const std::string& levelName, const EventAttributes& attributes) {
    Plurio::logLevelStart(plist::Value(levelName), dictionaryOf(attributes));
}

void ReportingSdk::logLevelEnd(const std::string& levelName, std::optional<int64_t> score,
                               std::optional<int64_t> success, const EventAttributes& attributes) {
    Plurio::logLevelEnd(plist::Value(levelName), numberOf(score), numberOf(success),
                        dictionaryOf(attributes));
}

void ReportingSdk::logCustomEvent(const std::string& name, const EventAttributes& attributes) {
    Plurio::logCustomEventWithName(name, dictionaryOf(attributes));
}

void ReportingSdk::logContentView(const std::string& name, const std::optional<std::string>& type,
                                  const std::optional<std::string>& id,
                                  const EventAttributes& attributes) {
    Plurio::logContentViewWithName(plist::Value(name), textOf(type), textOf(id),
                                   dictionaryOf(attributes));
}

void ReportingSdk::plugSelfTests(AppDelegate& delegate) {
    delegate.crashKitCrash = [] { Quellix::crash(); };
    delegate.crashKitThrowException = [] { Quellix::throwException(); };
}

}  // namespace wv
