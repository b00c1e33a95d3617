#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/AnalyticsSdk.h"

namespace wv {

class LangData;

// The application's side of usage reporting: starts the SDK and sends the events of the
// exercise lines. Class operations only. Main thread only.
class Analytics {
  public:
    Analytics() = delete;

    // The SDK every operation goes to (by default one that does nothing). Set it before the
    // hub is first used, so the hub's own events reach the same SDK.
    static void setSdk(std::shared_ptr<AnalyticsSdk> sdk);
    static const std::shared_ptr<AnalyticsSdk>& sdk();

    // Registers "NSApplicationCrashOnExceptions" and starts the SDK. The application calls it
    // before anything can log an event, so nothing of the first launch is lost.
    static void startAnalytics();
    // The level start and the custom start event of a new line.
    static void logLessonStart(const LangData& langData);
    // The level end of a finished line: the characters typed are its score, and it counts as a
    // success when it had no typo.
    static void logLessonEnd(const LangData& langData, int typedCharacters, int typos);
    // A content-view event of a screen, sent only while analytics are enabled.
    static void logContentView(const std::string& name, const std::optional<std::string>& type,
                               const std::optional<std::string>& id,
                               const EventAttributes& attributes);

    // "lang", "layout" and "auto" of the language.
    static EventAttributes lessonEventAttributes(const LangData& langData);
    // "lesson_" and the lesson number (difficulty + 1).
    static std::string lessonName(const LangData& langData);
};

}  // namespace wv
