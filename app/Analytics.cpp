#include "app/Analytics.h"

#include "languages/LangData.h"
#include "languages/Language.h"
#include "platform/plist/UserDefaults.h"

namespace wv {

namespace {
std::shared_ptr<AnalyticsSdk>& currentSdk() {
    static std::shared_ptr<AnalyticsSdk> sdk = std::make_shared<NoAnalyticsSdk>();
    return sdk;
}
}  // namespace

void Analytics::setSdk(std::shared_ptr<AnalyticsSdk> sdk) {
    currentSdk() = sdk ? std::move(sdk) : std::make_shared<NoAnalyticsSdk>();
}

const std::shared_ptr<AnalyticsSdk>& Analytics::sdk() { return currentSdk(); }

void Analytics::startAnalytics() {
    auto& defaults = UserDefaults::standard();
    if (!defaults.objectForKey("NSApplicationCrashOnExceptions"))
        defaults.setObject("NSApplicationCrashOnExceptions", plist::Value(true));
    currentSdk()->start();
}

EventAttributes Analytics::lessonEventAttributes(const LangData& langData) {
    return {{"lang", std::string(languageName(langData.type()))},
            {"layout", langData.keys().layoutData().name()},
            {"auto", langData.difficultyAuto() ? "true" : "false"}};
}

std::string Analytics::lessonName(const LangData& langData) {
    return "lesson_" + std::to_string(langData.difficulty() + 1);
}

void Analytics::logLessonStart(const LangData& langData) {
    const auto attributes = lessonEventAttributes(langData);
    if (analyticsEnabled) currentSdk()->logLevelStart(lessonName(langData), attributes);
    const std::string name = "SessonStarted - " + std::string(languageName(langData.type())) +
                             " - " + langData.keys().layoutData().name();
    if (analyticsEnabled) currentSdk()->logCustomEvent(name, {});
}

void Analytics::logLessonEnd(const LangData& langData, int typedCharacters, int typos) {
    if (!analyticsEnabled) return;
    const std::optional<int64_t> success = typos == 0 ? std::optional<int64_t>(1) : std::nullopt;
    currentSdk()->logLevelEnd(lessonName(langData), typedCharacters, success,
                              lessonEventAttributes(langData));
}

void Analytics::logContentView(const std::string& name, const std::optional<std::string>& type,
                               const std::optional<std::string>& id,
                               const EventAttributes& attributes) {
    if (analyticsEnabled) currentSdk()->logContentView(name, type, id, attributes);
}

}  // namespace wv
